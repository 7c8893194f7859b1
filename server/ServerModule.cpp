#include "ServerModule.h"

#include "Zel_vandril.h"
#include "KioskError.h"
#include "Logging.h"
#include "Srv_kvb52814.h"

#include <QtCore/qglobal.h>

namespace Srv_kvb52814 {
// Filled and emptied by the package frame around each call of the entry (and each server session).
TrdmRecSaldo* rdmRecSaldo = nullptr;
} // namespace Srv_kvb52814

static void initModuleQrc()
{
    Q_INIT_RESOURCE(kiosk);
}

namespace
{
thread_local TrdmRecSaldo* threadModule = nullptr;
} // namespace

namespace ServerModule {
TrdmRecSaldo* current()
{
    return threadModule ? threadModule : Srv_kvb52814::rdmRecSaldo;
}

TrdmRecSaldo& instance()
{
    TrdmRecSaldo* module = current();
    if (!module)
        throw KioskError(QStringLiteral("the recharge data module is not created"));
    return *module;
}

void initResources()
{
    static const bool done = (initModuleQrc(), true);
    (void)done;
}

QString failureText(const std::exception& error)
{
    TrdmRecSaldo* module = current();
    return Zel_vandril::ADOExceptionMessage(error, module ? module->adcRecSaldo : nullptr, QString());
}
} // namespace ServerModule

ServerModule::ThreadModule::ThreadModule(TrdmRecSaldo* module) : m_previous(threadModule)
{
    threadModule = module;
}

ServerModule::ThreadModule::~ThreadModule()
{
    threadModule = m_previous;
}
