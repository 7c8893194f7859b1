#include "HomeLoop.h"

#include "BackgroundThread.h"
#include "KioskError.h"
#include "Logging.h"
#include "TfrmHome.h"

#include <QTimer>

HomeLoop::HomeLoop(TfrmHome& home, Services services, QObject* parent)
    : QObject(parent), m_home(&home), m_services(std::move(services))
{
    if (!m_services.background) {
        m_thread = std::make_unique<BackgroundThread>(QStringLiteral("kiosk-home-store"));
        m_services.background = [thread = m_thread.get()](std::function<void()> job, std::function<void()> done) {
            thread->run(std::move(job), std::move(done));
        };
    }
    connect(&home, &TfrmHome::codeEntered, this, &HomeLoop::take);
}

// The thread (when it is the loop's own) lets a running look-up end; its answer is dropped.
HomeLoop::~HomeLoop() = default;

// The code is served from the event queue, once the key or press that confirmed it
// has been handled; a second code before then (a reader that sends twice) is dropped.
void HomeLoop::take(const QString& code)
{
    if (m_serving || m_stopped)
        return;
    m_serving = true;
    m_home->setAcceptingCodes(false);
    QTimer::singleShot(0, this, [this, code] { lookUp(code); });
}

void HomeLoop::lookUp(const QString& code)
{
    if (m_stopped || !m_home || !m_home->isVisible()) {
        m_serving = false;
        return;
    }
    m_home->showProgress(tr("Aguarde..."));
    struct Answer {
        std::optional<DataPacket> consumer;
        QString failure;
    };
    auto answer = std::make_shared<Answer>();
    m_services.background(
        [lookUp = m_services.lookUp, code, answer] {
            try {
                answer->consumer = lookUp(code);
            } catch (const std::exception& e) {
                answer->failure = QString::fromUtf8(e.what());
                if (answer->failure.isEmpty())
                    answer->failure = QStringLiteral("unknown failure");
            }
        },
        [this, code, answer] { found(code, answer->consumer, answer->failure); });
}

void HomeLoop::found(const QString& code, const std::optional<DataPacket>& consumer, const QString& failure)
{
    if (m_stopped || !m_home || !m_home->isVisible()) {
        m_serving = false;
        return;
    }
    if (!failure.isEmpty()) {
        qCWarning(lcHost).noquote() << "consumer look-up failed:" << failure;
        ready(tr("O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente."));
        return;
    }
    if (!consumer) {
        qCInfo(lcHost).noquote() << "unknown consumer code entered at the home screen";
        ready(tr("Código %1 não encontrado. Confira o código e digite de novo.").arg(code));
        return;
    }
    QString screenFailure;
    try {
        m_services.serve(*consumer);
    } catch (const std::exception& e) {
        screenFailure = QString::fromUtf8(e.what());
        qCCritical(lcHost).noquote() << "the recharge screen could not open:" << screenFailure;
    }
    ++m_served;
    if (m_home)
        m_home->clear();
    // A purchase that ended unsettled (the store went away mid-way) is settled before
    // the next consumer; the settler returns at once when nothing is open.
    if (!m_services.settle) {
        settled(0, screenFailure);
        return;
    }
    auto left = std::make_shared<int>(0);
    m_services.background([settle = m_services.settle, left] { *left = settle(); },
                          [this, left, screenFailure] { settled(*left, screenFailure); });
}

void HomeLoop::settled(int left, const QString& screenFailure)
{
    if (left != 0)
        qCWarning(lcHost) << "purchase journal:"
                          << (left < 0 ? QStringLiteral("could not be settled now")
                                       : QStringLiteral("%1 paid purchase(s) unsettled").arg(left));
    ready(screenFailure.isEmpty() ? QString() : tr("A recarga não está disponível agora. Chame um atendente."));
    emit consumerDone();
}

// The home screen takes the next code, with `message` on it for a while (or none).
void HomeLoop::ready(const QString& message)
{
    if (m_home) {
        m_home->clearCode();
        if (message.isEmpty())
            m_home->clearMessage();
        else
            m_home->showMessage(message);
        m_home->setAcceptingCodes(true);
    }
    m_serving = false;
}
