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

namespace ServerModule {
TrdmRecSaldo& instance()
{
    if (!Srv_kvb52814::rdmRecSaldo)
        throw KioskError(QStringLiteral("the recharge data module is not created"));
    return *Srv_kvb52814::rdmRecSaldo;
}

void initResources()
{
    static const bool done = (initModuleQrc(), true);
    (void)done;
}

QString failureText(const std::exception& error)
{
    return Zel_vandril::ADOExceptionMessage(
        error, Srv_kvb52814::rdmRecSaldo ? Srv_kvb52814::rdmRecSaldo->adcRecSaldo : nullptr, QString());
}
} // namespace ServerModule
