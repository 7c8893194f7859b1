#include "TfrmHome.h"

#include "FontSubstitutes.h"
#include "Trad_utl.h"
#include "ui_Home.h"

#include <QKeyEvent>
#include <QTimer>

TfrmHome::TfrmHome(QWidget* parent)
    : QWidget(parent), m_ui(new Ui::TfrmHome), m_messageTimer(new QTimer(this)), m_idleTimer(new QTimer(this))
{
    FontSubstitutes::install();
    m_ui->setupUi(this);
    setObjectName(QStringLiteral("frmHome"));
    // A dialog's window, as the recharge screen's: the kiosk's compositor centres it on
    // any output (a plain window it would stretch over the output, the design in
    // the top-left corner).
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setFixedSize(800, 600);

    m_messageTimer->setObjectName(QStringLiteral("tmrMensagem"));
    m_messageTimer->setSingleShot(true);
    m_messageTimer->setInterval(messageMs);
    connect(m_messageTimer, &QTimer::timeout, this, &TfrmHome::tmrMensagemTimer);
    m_idleTimer->setObjectName(QStringLiteral("tmrInativo"));
    m_idleTimer->setSingleShot(true);
    m_idleTimer->setInterval(idleMs);
    connect(m_idleTimer, &QTimer::timeout, this, &TfrmHome::tmrInativoTimer);

    for (int digit = 0; digit <= 9; ++digit) {
        auto* key = findChild<QAbstractButton*>(QStringLiteral("dxbTeclado%1").arg(digit));
        connect(key, &QAbstractButton::clicked, this, &TfrmHome::dxbTeclado1Click);
    }
    connect(m_ui->dxbTclCorrigir, &QAbstractButton::clicked, this, &TfrmHome::dxbTclCorrigirClick);
    connect(m_ui->dxbTclOK, &QAbstractButton::clicked, this, &TfrmHome::dxbTclOKClick);
    connect(m_ui->blbIdiomaPt, &QAbstractButton::clicked, this, [this] { chooseLanguage(QStringLiteral("pt")); });
    connect(m_ui->blbIdiomaEn, &QAbstractButton::clicked, this, [this] { chooseLanguage(QStringLiteral("en")); });
    connect(m_ui->blbIdiomaEs, &QAbstractButton::clicked, this, [this] { chooseLanguage(QStringLiteral("es")); });
    m_ui->lblDemo->hide();
    clear();
}

TfrmHome::~TfrmHome() = default;

void TfrmHome::clear()
{
    m_idleTimer->stop();
    m_code.clear();
    showCode();
    m_messageTimer->stop();
    m_ui->lblMensagem->clear();
    chooseLanguage(QString());
}

void TfrmHome::clearCode()
{
    m_code.clear();
    showCode();
}

void TfrmHome::showMessage(const QString& text)
{
    m_ui->lblMensagem->setText(text);
    m_messageTimer->start();
}

void TfrmHome::showProgress(const QString& text)
{
    m_messageTimer->stop();
    m_ui->lblMensagem->setText(text);
}

QString TfrmHome::message() const
{
    return m_ui->lblMensagem->text();
}

void TfrmHome::tmrInativoTimer()
{
    if (m_accepting)
        clear();
}

void TfrmHome::tmrMensagemTimer()
{
    m_messageTimer->stop();
    m_ui->lblMensagem->clear();
}

void TfrmHome::setDemoCodes(const QStringList& lines)
{
    m_demoCodes = lines;
    m_ui->lblDemo->setVisible(!lines.isEmpty());
    retranslate();
}

void TfrmHome::dxbTeclado1Click()
{
    const auto* key = qobject_cast<QAbstractButton*>(sender());
    if (key)
        typeCharacter(key->text().at(0));
}

void TfrmHome::dxbTclCorrigirClick()
{
    if (!m_accepting || m_code.isEmpty())
        return;
    m_code.chop(1);
    showCode();
    m_idleTimer->start();
}

void TfrmHome::dxbTclOKClick()
{
    if (!m_accepting || m_code.isEmpty())
        return;
    emit codeEntered(m_code);
}

// Digits and letters make the code (badges may carry letters); Backspace corrects;
// Enter or Return confirms, as a keyboard-wedge reader ends every code it reads.
void TfrmHome::keyPressEvent(QKeyEvent* event)
{
    switch (event->key()) {
    case Qt::Key_Backspace:
        dxbTclCorrigirClick();
        return;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        dxbTclOKClick();
        return;
    default:
        break;
    }
    const QString text = event->text();
    if (text.size() == 1 && text[0].isLetterOrNumber() && text[0].unicode() < 128) {
        typeCharacter(text[0]);
        return;
    }
    QWidget::keyPressEvent(event);
}

void TfrmHome::typeCharacter(QChar c)
{
    if (!m_accepting || m_code.size() >= maxCodeLength)
        return;
    // A new consumer starts typing: an earlier message is no longer about them.
    if (m_code.isEmpty())
        tmrMensagemTimer();
    m_code += c.toUpper();
    showCode();
    m_idleTimer->start();
}

void TfrmHome::showCode()
{
    m_ui->lblCodigo->setText(m_code);
}

void TfrmHome::chooseLanguage(const QString& language)
{
    Trad_utl::setLanguage(language);
    Trad_utl::Trad(this);
    if (!language.isEmpty())
        m_idleTimer->start();
}

void TfrmHome::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        retranslate();
    QWidget::changeEvent(event);
}

void TfrmHome::retranslate()
{
    m_ui->retranslateUi(this);
    if (!m_demoCodes.isEmpty())
        m_ui->lblDemo->setText(tr("Demonstração: códigos de consumidor") + QLatin1Char('\n') +
                               m_demoCodes.join(QLatin1Char('\n')));
    // The chosen language's button stays down.
    const QString language = Trad_utl::language();
    QAbstractButton* chosen = language == QLatin1String("en")   ? m_ui->blbIdiomaEn
                              : language == QLatin1String("es") ? m_ui->blbIdiomaEs
                                                                : m_ui->blbIdiomaPt;
    emit chosen->pressed(); // held down in its group, as a touch would leave it
}
