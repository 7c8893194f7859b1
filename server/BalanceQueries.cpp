// getSaldoCons, getTotSalCons, getBuscaPorta: what the screen shows.
#include "DataSetProvider.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

namespace Srv_kvb52814 {

QVariant getSaldoCons(const QString& CDFILIAL, const QString& CDCLIENTE, const QString& CDCONSUMIDOR)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqSALDOCONS->close();
        dm.adqSALDOCONS->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        dm.adqSALDOCONS->paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(CDCLIENTE);
        dm.adqSALDOCONS->paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(CDCONSUMIDOR);
        return PacketVariant::of(dm.dspSALDOCONS->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getTotSalCons(const QString& CDCLIENTE, const QString& CDCONSUMIDOR)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqTotSalCons->close();
        dm.adqTotSalCons->paramByName(QStringLiteral("CDCLIENTE")).setAsString(CDCLIENTE);
        dm.adqTotSalCons->paramByName(QStringLiteral("CDCONSUMIDOR")).setAsString(CDCONSUMIDOR);
        dm.adqTotSalCons->open();
        return PacketVariant::of(dm.dspTotSalCons->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getBuscaPorta(const QString& CDFILIAL, const QString& CDCAIXA)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqBuscaPorta->close();
        dm.adqBuscaPorta->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        dm.adqBuscaPorta->paramByName(QStringLiteral("P_CDCAIXA")).setAsString(CDCAIXA);
        dm.adqBuscaPorta->open();
        return PacketVariant::of(dm.dspBuscaPorta->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

} // namespace Srv_kvb52814
