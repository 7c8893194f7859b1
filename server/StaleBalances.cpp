// getSaldoDesatualizado, getSaldosDesatualizados: balances a crash left behind their lines.
#include "DataSetProvider.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

namespace Srv_kvb52814
{

QVariant getSaldoDesatualizado(const QString& CDCLIENTE, const QString& CDCONSUMIDOR)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqSaldoDesatualizado->close();
        dm.adqSaldoDesatualizado->paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(CDCLIENTE);
        dm.adqSaldoDesatualizado->paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(CDCONSUMIDOR);
        dm.adqSaldoDesatualizado->open();
        return PacketVariant::of(dm.dspSaldoDesatualizado->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getSaldosDesatualizados()
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqSaldosDesatualizados->close();
        dm.adqSaldosDesatualizados->open();
        return PacketVariant::of(dm.dspSaldosDesatualizados->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

} // namespace Srv_kvb52814
