// getMovCaixaNsu, getCompCredNsu: whether a paid card purchase reached the store, and the
// credit it made.
#include "DateTimeValue.h"
#include "QueryAnswer.h"
#include "Srv_kvb52814.h"

#include <QDate>

namespace Srv_kvb52814
{

namespace
{
// The widest span of movement dates: a look-up without a date matches every day.
const double firstDay = DateTimeValue::fromDate(QDate(1800, 1, 1));
const double lastDay = DateTimeValue::fromDate(QDate(9999, 12, 31));

// The movements (or credits) of a card transaction on a till, over a span of movement dates.
QVariant byNsu(SqlQuery* TrdmRecSaldo::*query, DataSetProvider* TrdmRecSaldo::*provider, const QString& CDFILIAL,
               const QString& CDCAIXA, const QString& CDNSUHOSTTEF, double from, double to)
{
    return QueryAnswer::packet(query, provider,
                               {{"P_CDFILIAL", CDFILIAL},
                                {"P_CDCAIXA", CDCAIXA},
                                {"P_CDNSUHOSTTEF", CDNSUHOSTTEF},
                                {"P_DTMOVIMCAIXADE", from},
                                {"P_DTMOVIMCAIXAATE", to}});
}
} // namespace

QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF)
{
    return byNsu(&TrdmRecSaldo::adqMovCaixaNsu, &TrdmRecSaldo::dspMovCaixaNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF,
                 firstDay, lastDay);
}

QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                        double DTMOVIMCAIXA)
{
    return byNsu(&TrdmRecSaldo::adqMovCaixaNsu, &TrdmRecSaldo::dspMovCaixaNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF,
                 DTMOVIMCAIXA, DTMOVIMCAIXA);
}

QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF)
{
    return byNsu(&TrdmRecSaldo::adqCompCredNsu, &TrdmRecSaldo::dspCompCredNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF,
                 firstDay, lastDay);
}

QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                        double DTMOVIMCAIXA)
{
    return byNsu(&TrdmRecSaldo::adqCompCredNsu, &TrdmRecSaldo::dspCompCredNsu, CDFILIAL, CDCAIXA, CDNSUHOSTTEF,
                 DTMOVIMCAIXA, DTMOVIMCAIXA);
}

} // namespace Srv_kvb52814
