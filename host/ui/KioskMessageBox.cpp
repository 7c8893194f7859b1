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
    layout->addLayout(buttons);
}

namespace
{
class DialogPresenter : public MessagePresenter
{
public:
    bool ask(const QString& text) override { return run(KioskMessageBox::Kind::Question, text); }
    void notify(const QString& text) override { run(KioskMessageBox::Kind::Notice, text); }
    void dismissOpen() override
    {
        // Boxes open inside each other's loops: each one open is answered "no".
        for (const QPointer<KioskMessageBox>& box : std::as_const(open))
            if (box)
                box->reject();
    }

private:
    bool run(KioskMessageBox::Kind kind, const QString& text)
    {
        KioskMessageBox box(kind, text, QApplication::activeWindow());
        open.append(&box);
        const bool accepted = box.exec() == QDialog::Accepted;
        open.removeAll(&box);
        return accepted;
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
