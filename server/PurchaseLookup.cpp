// getMovCaixaNsu, getCompCredNsu: whether a paid card purchase reached the store, and the
// credit it made.
#include "DataSetProvider.h"
#include "DateTimeValue.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

#include <QDate>

namespace Srv_kvb52814
{

namespace
{
// The widest span of movement dates: a look-up without a date matches every day.
const double firstDay = DateTimeValue::fromDate(QDate(1800, 1, 1));
const double lastDay = DateTimeValue::fromDate(QDate(9999, 12, 31));

QVariant byNsu(SqlQuery& query, DataSetProvider& provider, const QString& CDFILIAL, const QString& CDCAIXA,
               const QString& CDNSUHOSTTEF, double from, double to)
{
    try {
        query.close();
        query.paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        query.paramByName(QStringLiteral("P_CDCAIXA")).setAsString(CDCAIXA);
        query.paramByName(QStringLiteral("P_CDNSUHOSTTEF")).setAsString(CDNSUHOSTTEF);
        query.paramByName(QStringLiteral("P_DTMOVIMCAIXADE")).setAsDateTime(from);
        query.paramByName(QStringLiteral("P_DTMOVIMCAIXAATE")).setAsDateTime(to);
        query.open();
        return PacketVariant::of(provider.data());
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}
} // namespace

QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        return byNsu(*dm.adqMovCaixaNsu, *dm.dspMovCaixaNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, firstDay, lastDay);
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                        double DTMOVIMCAIXA)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        return byNsu(*dm.adqMovCaixaNsu, *dm.dspMovCaixaNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA,
                     DTMOVIMCAIXA);
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        return byNsu(*dm.adqCompCredNsu, *dm.dspCompCredNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, firstDay, lastDay);
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                        double DTMOVIMCAIXA)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        return byNsu(*dm.adqCompCredNsu, *dm.dspCompCredNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA,
                     DTMOVIMCAIXA);
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}

} // namespace Srv_kvb52814
