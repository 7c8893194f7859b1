// getMovCaixaNsu: whether a paid card purchase reached the store.
#include "DataSetProvider.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

namespace Srv_kvb52814
{

QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqMovCaixaNsu->close();
        dm.adqMovCaixaNsu->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        dm.adqMovCaixaNsu->paramByName(QStringLiteral("P_CDCAIXA")).setAsString(CDCAIXA);
        dm.adqMovCaixaNsu->paramByName(QStringLiteral("P_CDNSUHOSTTEF")).setAsString(CDNSUHOSTTEF);
        dm.adqMovCaixaNsu->open();
        return PacketVariant::of(dm.dspMovCaixaNsu->data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

} // namespace Srv_kvb52814
