#include "KioskMessageBox.h"

#include "MessagePresenter.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPointer>
#include <QPushButton>
#include <QVBoxLayout>

namespace
{
// Remembers whether the window that lost the activation last was a host message box,
// so that the screen under a box can tell a box closing from a real re-activation.
class ActivationTracker : public QObject
{
public:
    using QObject::QObject;
    bool lastDeactivatedWasBox = false;

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::WindowDeactivate && watched->isWidgetType() &&
            static_cast<QWidget*>(watched)->isWindow())
            lastDeactivatedWasBox = watched->objectName() == QLatin1String("KioskMessageBox");
        return false;
    }
};

ActivationTracker* tracker()
{
    static QPointer<ActivationTracker> instance;
    if (!instance && qApp) {
        instance = new ActivationTracker(qApp);
        qApp->installEventFilter(instance);
    }
    return instance;
}
} // namespace

KioskMessageBox::KioskMessageBox(Kind kind, const QString& text, QWidget* parent) : QDialog(parent)
{
    tracker();
    setObjectName(QStringLiteral("KioskMessageBox"));
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    setModal(true);
    setStyleSheet(QStringLiteral("QDialog { background: #EFFDE3; border: 3px solid #CFE7E7; }"
                                 "QLabel { color: #330066; font: bold 18px Verdana; }"
                                 "QPushButton { min-width: 120px; min-height: 48px; font: bold 16px Verdana; }"));
    auto* layout = new QVBoxLayout(this);
    auto* label = new QLabel(text, this);
    label->setObjectName(QStringLiteral("lblText"));
    label->setWordWrap(true);
    label->setAlignment(Qt::AlignCenter);
    label->setMinimumWidth(420);
    layout->addWidget(label);
    auto* buttons = new QHBoxLayout;
    if (kind == Kind::Question) {
        auto* yes = new QPushButton(tr("Sim"), this);
        yes->setObjectName(QStringLiteral("btnYes"));
        auto* no = new QPushButton(tr("Não"), this);
        no->setObjectName(QStringLiteral("btnNo"));
        connect(yes, &QPushButton::clicked, this, &QDialog::accept);
        connect(no, &QPushButton::clicked, this, &QDialog::reject);
        buttons->addWidget(yes);
        buttons->addWidget(no);
    } else {
        auto* ok = new QPushButton(tr("OK"), this);
        ok->setObjectName(QStringLiteral("btnOk"));
        connect(ok, &QPushButton::clicked, this, &QDialog::accept);
        buttons->addWidget(ok);
    }
    // No default button: an Enter from a badge reader or a keyboard answers nothing; only a
    // touch does (Escape stays "no").
    for (QPushButton* b : findChildren<QPushButton*>()) {
        b->setAutoDefault(false);
        b->setDefault(false);
        b->setFocusPolicy(Qt::NoFocus);
    }
    layout->addLayout(buttons);
}

namespace
{
// Boxes are shown, never run: no event loop of their own, so whatever the screen does
// goes on while one is open, and the idle countdown can dismiss it.
class DialogPresenter : public MessagePresenter
{
public:
    void ask(const QString& text, Answer answered) override
    {
        show(KioskMessageBox::Kind::Question, text, [answered](bool yes) {
            if (answered)
                answered(yes);
        });
    }
    void notify(const QString& text, Closed closed) override
    {
        show(KioskMessageBox::Kind::Notice, text, [closed](bool) {
            if (closed)
                closed();
        });
    }
    void dismissOpen() override
    {
        // Every box open is answered "no".
        const QList<QPointer<KioskMessageBox>> boxes = open;
        for (const QPointer<KioskMessageBox>& box : boxes)
            if (box)
                box->reject();
    }

private:
    void show(KioskMessageBox::Kind kind, const QString& text, std::function<void(bool)> done)
    {
        auto* box = new KioskMessageBox(kind, text, QApplication::activeWindow());
        box->setAttribute(Qt::WA_DeleteOnClose);
        open.append(box);
        QObject::connect(box, &QDialog::finished, box, [this, box, done](int result) {
            open.removeAll(box);
            done(result == QDialog::Accepted);
        });
        box->show();
        box->raise();
        box->activateWindow();
    }
    QList<QPointer<KioskMessageBox>> open;
};

DialogPresenter dialogPresenter;
MessagePresenter* installed = nullptr;
bool reactivationPending = false;
} // namespace

MessagePresenter::~MessagePresenter() = default;

MessagePresenter& MessagePresenter::instance()
{
    return installed ? *installed : static_cast<MessagePresenter&>(dialogPresenter);
}

void MessagePresenter::setInstance(MessagePresenter* presenter)
{
    installed = presenter;
}

bool MessagePresenter::takeReactivation()
{
    bool pending = reactivationPending;
    reactivationPending = false;
    if (ActivationTracker* t = tracker()) {
        pending = pending || t->lastDeactivatedWasBox;
        t->lastDeactivatedWasBox = false;
    }
    return pending;
}

void MessagePresenter::noteClosed()
{
    reactivationPending = true;
}
