// setGravaCupomInicial: the first coupon number of each branch, till and day.
#include "Consiste.h"
#include "DateTimeValue.h"
#include "Logging.h"
#include "QueryAnswer.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

#include <QLocale>

namespace Srv_kvb52814
{

QString cupomInicialKey(const QString& CDFILIAL, const QString& CDCAIXA, double date)
{
    const QDate day = DateTimeValue::toDateTime(date).date();
    return QStringLiteral("CUPINICIAL") + CDFILIAL + CDCAIXA + QLocale().toString(day, QLocale::ShortFormat);
}

QVariant setGravaCupomInicial(const QString& CDFILIAL, const QString& CDCAIXA, const QString& NRCOODOCNFIS,
                              double DTMOVIMENTO)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        dm.adqCupomInicial->close();
        dm.adqCupomInicial->paramByName(QStringLiteral("P_CDCONTADOR"))
            .setAsString(cupomInicialKey(CDFILIAL, CDCAIXA, DTMOVIMENTO));
        dm.adqCupomInicial->open();
        if (!dm.adqCupomInicial->eof())
            return QVariant(); // the day's first coupon is already kept
        dm.acmInsCupomInicial->paramByName(QStringLiteral("P_CDCONTADOR"))
            .setAsString(cupomInicialKey(CDFILIAL, CDCAIXA, DTMOVIMENTO));
        dm.acmInsCupomInicial->paramByName(QStringLiteral("P_NRSEQUENCIAL"))
            .setAsString(Srv_consiste::Ajusta(NRCOODOCNFIS, 10));
        dm.acmInsCupomInicial->execute();
        return QVariant();
    } catch (const std::exception& e) {
        // The purchase goes on without the day's first coupon; the failure must not go unseen.
        const QString text = ServerModule::failureText(e);
        qCWarning(lcServer).noquote() << QStringLiteral("setGravaCupomInicial failed (branch %1, till %2, COO %3): %4")
                                             .arg(CDFILIAL, CDCAIXA, NRCOODOCNFIS, text);
        return text;
    }
}

QVariant getMaiorCupom(const QString& CDFILIAL, const QString& CDCAIXA, const QString& NRSERIEEFCDOCNF)
{
    return QueryAnswer::packet(
        &TrdmRecSaldo::adqMaiorCupom, &TrdmRecSaldo::dspMaiorCupom,
        {{"P_CDFILIAL", CDFILIAL}, {"P_CDCAIXA", CDCAIXA}, {"P_NRSERIEEFCDOCNF", NRSERIEEFCDOCNF}});
}

} // namespace Srv_kvb52814
