#include "KioskMessageBox.h"

#include "MessagePresenter.h"

#include <QApplication>
#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

KioskMessageBox::KioskMessageBox(Kind kind, const QString& text, QWidget* parent) : QDialog(parent)
{
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

namespace {
class DialogPresenter : public MessagePresenter
{
public:
    bool ask(const QString& text) override { return run(KioskMessageBox::Kind::Question, text); }
    void notify(const QString& text) override { run(KioskMessageBox::Kind::Notice, text); }

private:
    static bool run(KioskMessageBox::Kind kind, const QString& text)
    {
        KioskMessageBox box(kind, text, QApplication::activeWindow());
        const bool yes = box.exec() == QDialog::Accepted;
        MessagePresenter::noteClosed();
        return yes;
    }
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
    const bool pending = reactivationPending;
    reactivationPending = false;
    return pending;
}

void MessagePresenter::noteClosed()
{
    reactivationPending = true;
}
