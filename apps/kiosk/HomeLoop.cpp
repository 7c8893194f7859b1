#include "HomeLoop.h"

#include "KioskError.h"
#include "Logging.h"
#include "TfrmHome.h"

#include <QTimer>

HomeLoop::HomeLoop(TfrmHome& home, Services services, QObject* parent)
    : QObject(parent), m_home(&home), m_services(std::move(services))
{
    connect(&home, &TfrmHome::codeEntered, this, &HomeLoop::take);
}

// The code is served from the event queue, once the key or press that confirmed it
// has been handled; a second code before then (a reader that sends twice) is dropped.
void HomeLoop::take(const QString& code)
{
    if (m_serving || m_stopped)
        return;
    m_serving = true;
    m_home->setAcceptingCodes(false);
    QTimer::singleShot(0, this, [this, code] { serve(code); });
}

void HomeLoop::serve(const QString& code)
{
    if (m_stopped || !m_home || !m_home->isVisible()) {
        m_serving = false;
        return;
    }
    std::optional<DataPacket> consumer;
    try {
        consumer = m_services.lookUp(code);
    } catch (const std::exception& e) {
        qCWarning(lcHost).noquote() << "consumer look-up failed:" << e.what();
        m_home->clearCode();
        m_home->showMessage(
            tr("O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente."));
        m_home->setAcceptingCodes(true);
        m_serving = false;
        return;
    }
    if (!consumer) {
        qCInfo(lcHost).noquote() << "unknown consumer code entered at the home screen";
        m_home->clearCode();
        m_home->showMessage(tr("Código %1 não encontrado. Confira o código e digite de novo.").arg(code));
        m_home->setAcceptingCodes(true);
        m_serving = false;
        return;
    }
    QString failure;
    try {
        m_services.serve(*consumer);
    } catch (const std::exception& e) {
        failure = QString::fromUtf8(e.what());
        qCCritical(lcHost).noquote() << "the recharge screen could not open:" << failure;
    }
    ++m_served;
    // A purchase that ended unsettled (the store went away mid-way) is settled before
    // the next consumer; the settler returns at once when nothing is open.
    const int left = m_services.settle ? m_services.settle() : 0;
    if (left != 0)
        qCWarning(lcHost) << "purchase journal:"
                          << (left < 0 ? QStringLiteral("could not be settled now")
                                       : QStringLiteral("%1 paid purchase(s) unsettled").arg(left));
    if (m_home) {
        m_home->clear();
        if (!failure.isEmpty())
            m_home->showMessage(tr("A recarga não está disponível agora. Chame um atendente."));
        m_home->setAcceptingCodes(true);
    }
    m_serving = false;
    emit consumerDone();
}
