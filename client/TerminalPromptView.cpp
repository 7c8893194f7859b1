#include "TerminalPromptView.h"

#include "AmountText.h"
#include "Logging.h"
#include "MessagePresenter.h"
#include "TBlendedButton.h"
#include "TMessages.h"
#include "TfrmRecSaldo.h"
#include "WaitWindow.h"
#include "Wst00002.h"

#include <QAbstractButton>
#include <QFrame>
#include <QLabel>
#include <QScrollArea>
#include <QScroller>
#include <QTimer>
#include <QVBoxLayout>

#include <functional>

namespace
{
// Where the family menu and the keypad stand: a menu covers both, a field the menu only
// (the keypad beside it is what the consumer types on).
const QRect menuArea(76, 126, 643, 334);
const QRect fieldArea(76, 126, 354, 334);

const QString panelStyle = QStringLiteral(
    "QFrame#%1 { background: #D8FAC0; border: 3px solid #CFE7E7; border-radius: 8px; }"
    "QLabel { font: bold 18px Verdana; color: #808000; background: transparent; }"
    "QLabel#lblTerminalDigitado { font: bold 24px Verdana; color: white; background: #ABF475; border-radius: 6px; }"
    "QScrollArea, QScrollArea > QWidget > QWidget { background: transparent; border: none; }");

QFrame* panel(QWidget* screen, const QString& name, const QRect& area, const QString& title)
{
    auto* frame = new QFrame(screen);
    frame->setObjectName(name);
    frame->setStyleSheet(panelStyle.arg(name));
    frame->setGeometry(area);
    auto* layout = new QVBoxLayout(frame);
    auto* label = new QLabel(title, frame);
    label->setObjectName(QStringLiteral("lblTerminalTitulo"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    layout->addWidget(label);
    return frame;
}

QString kindName(TerminalQuestion::Kind kind)
{
    switch (kind) {
    case TerminalQuestion::Kind::Menu:
        return QStringLiteral("a menu");
    case TerminalQuestion::Kind::YesNo:
        return QStringLiteral("a yes/no question");
    case TerminalQuestion::Kind::Field:
        return QStringLiteral("a field to type");
    case TerminalQuestion::Kind::PressKey:
        return QStringLiteral("a notice");
    }
    return QString();
}
} // namespace

TerminalPromptView::TerminalPromptView(TfrmRecSaldo& screen, std::shared_ptr<ScreenPrompter> prompter, QObject* parent)
    : QObject(parent), m_screen(screen), m_prompter(std::move(prompter))
{
    connect(m_prompter.get(), &ScreenPrompter::asked, this, &TerminalPromptView::show);
    connect(m_prompter.get(), &ScreenPrompter::givenUp, this, &TerminalPromptView::givenUp);
    // Connected after the screen's own handlers: the back button has asked for the close,
    // and a countdown tick has run the timeout (or found time left) when these run.
    if (auto* back = screen.control<QAbstractButton>(QStringLiteral("bbbVoltar")))
        connect(back, &QAbstractButton::clicked, this, [this] { m_prompter->giveUp(); });
    connect(screen.tmrPadrao, &QTimer::timeout, this, [this] {
        if (m_screen.TempoEsgotado)
            m_prompter->giveUp();
    });
    connect(&screen, &QDialog::finished, this, [this] { m_prompter->giveUp(); });
}

TerminalPromptView::~TerminalPromptView()
{
    // Only what the view made: the screen itself may be going away.
    delete m_panel;
}

void TerminalPromptView::show(const TerminalQuestion& question)
{
    // The countdown ran out, or the consumer left, before the question came.
    if (m_screen.TempoEsgotado || m_screen.closePending())
        m_prompter->giveUp();
    if (m_prompter->gaveUp())
        return;
    qCInfo(lcScreen).noquote() << "the card terminal asks" << kindName(question.kind);
    closePanel();
    m_open = question;
    // The question is the consumer's to answer: the screen shows, not the wait window.
    m_waitText = Wst00002::current() ? Wst00002::current()->text() : QString();
    Wst00002::DesativaProcesso();
    m_screen.restartIdleCountdown();
    const QPointer<TerminalPromptView> self(this);
    switch (question.kind) {
    case TerminalQuestion::Kind::Menu:
        showMenu(question);
        break;
    case TerminalQuestion::Kind::Field:
        showField(question);
        break;
    case TerminalQuestion::Kind::YesNo:
        m_boxOpen = true;
        MessagePresenter::instance().ask(question.text, [self](bool yes) {
            if (self)
                self->boxClosed(yes);
        });
        break;
    case TerminalQuestion::Kind::PressKey:
        m_boxOpen = true;
        MessagePresenter::instance().notify(question.text, [self] {
            if (self)
                self->boxClosed(true);
        });
        break;
    }
}

void TerminalPromptView::showMenu(const TerminalQuestion& question)
{
    m_panel = panel(&m_screen, QStringLiteral("PanTerminalMenu"), menuArea, question.text);
    auto* list = new QWidget;
    auto* rows = new QVBoxLayout(list);
    for (qsizetype i = 0; i < question.options.size(); ++i) {
        auto* option = new TBlendedButton(list);
        option->setObjectName(QStringLiteral("blbTerminalOpcao%1").arg(i + 1));
        option->setText(question.options.at(i));
        option->setColor(QColor(207, 231, 231));
        option->setStyleSheet(QStringLiteral("font: bold 16px Verdana; color: #330066;"));
        option->setMinimumHeight(56);
        connect(option, &QAbstractButton::clicked, this, [this, i] { answer(int(i)); });
        rows->addWidget(option);
    }
    rows->addStretch();
    auto* scroll = new QScrollArea(m_panel);
    scroll->setWidgetResizable(true);
    scroll->setWidget(list);
    // A long list moves under the finger, as the kiosk has no mouse wheel.
    QScroller::grabGesture(scroll->viewport(), QScroller::LeftMouseButtonGesture);
    m_panel->layout()->addWidget(scroll);
    m_panel->show();
    m_panel->raise();
}

void TerminalPromptView::showField(const TerminalQuestion& question)
{
    m_typed.clear();
    m_panel = panel(&m_screen, QStringLiteral("PanTerminalCampo"), fieldArea, question.text);
    m_typedLabel = new QLabel(m_panel);
    m_typedLabel->setObjectName(QStringLiteral("lblTerminalDigitado"));
    m_typedLabel->setAlignment(Qt::AlignCenter);
    m_typedLabel->setMinimumHeight(44);
    m_panel->layout()->addWidget(m_typedLabel);
    static_cast<QVBoxLayout*>(m_panel->layout())->addStretch();
    // The screen's own keypad types the field; its handlers ignore keys while a purchase runs.
    auto onKey = [this](const QString& name, std::function<void()> typed) {
        if (auto* key = m_screen.control<QAbstractButton>(name))
            m_keypad << connect(key, &QAbstractButton::clicked, this, std::move(typed));
    };
    for (int digit = 0; digit <= 9; ++digit)
        onKey(QStringLiteral("dxbTeclado%1").arg(digit), [this, digit] { keyTyped(QChar(u'0' + digit)); });
    onKey(QStringLiteral("dxbTclCorrigir"), [this] { keyErased(); });
    onKey(QStringLiteral("dxbTclEnter"), [this] { fieldEntered(); });
    m_screen.control(QStringLiteral("pnlVrSaldo"))->setEnabled(true);
    m_panel->show();
    m_panel->raise();
}

QString TerminalPromptView::fieldReply() const
{
    // An amount is typed with implied cents and goes to the terminal as "12,34".
    return m_open.field.kind == TerminalPrompter::FieldKind::Amount && !m_typed.isEmpty()
               ? AmountText::fromDigits(m_typed, QLatin1Char(','))
               : m_typed;
}

bool TerminalPromptView::fieldFits() const
{
    const qsizetype n = fieldReply().size();
    return n >= m_open.field.minLength && (m_open.field.maxLength <= 0 || n <= m_open.field.maxLength);
}

void TerminalPromptView::keyTyped(QChar digit)
{
    m_screen.restartIdleCountdown();
    if (m_open.field.kind == TerminalPrompter::FieldKind::Amount && m_typed.isEmpty() && digit == QLatin1Char('0'))
        return; // no leading zeros in an amount
    m_typed.append(digit);
    // A key past the field's longest is dropped.
    if (m_open.field.maxLength > 0 && fieldReply().size() > m_open.field.maxLength)
        m_typed.chop(1);
    showTyped();
}

void TerminalPromptView::keyErased()
{
    m_screen.restartIdleCountdown();
    m_typed.chop(1);
    showTyped();
}

void TerminalPromptView::showTyped()
{
    switch (m_open.field.kind) {
    case TerminalPrompter::FieldKind::Secret:
        m_typedLabel->setText(QString(m_typed.size(), QChar(0x2022)));
        break;
    case TerminalPrompter::FieldKind::Amount:
        m_typedLabel->setText(m_typed.isEmpty() ? QString() : AmountText::fromDigits(m_typed, AmountText::separator()));
        break;
    default:
        m_typedLabel->setText(m_typed);
    }
}

void TerminalPromptView::fieldEntered()
{
    m_screen.restartIdleCountdown();
    // Too short: OK does nothing until the field has what the terminal needs.
    if (fieldFits())
        answer(fieldReply());
}

void TerminalPromptView::answer(const QVariant& value)
{
    if (m_open.id == 0)
        return;
    const quint64 id = m_open.id;
    closePanel();
    m_prompter->answer(id, value);
    // The charge goes on: the wait window over the screen again, the countdown stopped.
    m_screen.stopIdleCountdown();
    const QString wait = m_waitText.isEmpty() ? m_screen.msgPadrao->Msg(QStringLiteral("AGUARDE")) : m_waitText;
    Wst00002::AtivaProcesso(&m_screen, wait, m_screen.parametros.INCOR1, m_screen.parametros.INCOR2);
}

void TerminalPromptView::boxClosed(const QVariant& value)
{
    if (!m_boxOpen)
        return;
    m_boxOpen = false;
    // The countdown closes an open box as if "no": that is giving up, not an answer.
    if (m_screen.TempoEsgotado)
        m_prompter->giveUp();
    else
        answer(value);
}

void TerminalPromptView::givenUp()
{
    closePanel();
    if (m_boxOpen) {
        m_boxOpen = false;
        MessagePresenter::instance().dismissOpen();
    }
}

void TerminalPromptView::closePanel()
{
    m_open = TerminalQuestion();
    for (const QMetaObject::Connection& c : std::as_const(m_keypad))
        disconnect(c);
    m_keypad.clear();
    if (!m_panel)
        return;
    const bool field = m_panel->objectName() == QLatin1String("PanTerminalCampo");
    // Later: the option touched, whose click is still being handled, is the panel's own.
    m_panel->hide();
    m_panel->deleteLater();
    m_panel = nullptr;
    if (field)
        m_screen.control(QStringLiteral("pnlVrSaldo"))->setEnabled(false);
}
