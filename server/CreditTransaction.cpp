#include "CreditTransaction.h"

#include "Logging.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"
#include "TdtmZelProxCodigo.h"

namespace CreditTransaction
{
namespace
{
struct NumberRequestFailed {
    QString text;
};

void rollbackQuietly(const char* function)
{
    TrdmRecSaldo* dm = ServerModule::current();
    if (!dm)
        return;
    try {
        dm->RollbackTrans();
    } catch (const std::exception& e) {
        qCWarning(lcServer).noquote()
            << QStringLiteral("%1: rollback failed too: %2").arg(QLatin1String(function), QString::fromUtf8(e.what()));
    }
}

void evolveFromEarliestLine(TrdmRecSaldo& dm, const QString& client, const QString& consumer, const QString& branch)
{
    SqlQuery& earliest = *dm.adqMinDtMovExtCons;
    earliest.close();
    earliest.paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(client);
    earliest.paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumer);
    earliest.open();
    const double since = earliest.fieldByName(QStringLiteral("DTMOVEXTCONS")).asDateTime();
    Srv_kvb52814::EvoluiSaldo(client, consumer, branch, since);
    earliest.close();
}
} // namespace

QVariant run(const char* function, const std::function<QVariant(TrdmRecSaldo&)>& work)
{
    try {
        return work(ServerModule::instance());
    } catch (const NumberRequestFailed& f) {
        qCWarning(lcServer).noquote()
            << QStringLiteral("%1: number request failed: %2").arg(QLatin1String(function), f.text);
        rollbackQuietly(function);
        return f.text;
    } catch (const std::exception& e) {
        const QString text = e.what() ? QString::fromUtf8(e.what()) : QString();
        qCWarning(lcServer).noquote() << QStringLiteral("%1 failed: %2").arg(QLatin1String(function), text);
        rollbackQuietly(function);
        return text;
    }
}

QString reserveNumber(TrdmRecSaldo& dm, const std::function<QString(TdtmZelProxCodigo&)>& request)
{
    try {
        TdtmZelProxCodigo generator(dm.adcRecSaldo);
        return request(generator);
    } catch (const std::exception& e) {
        throw NumberRequestFailed{ServerModule::failureText(e)};
    }
}

QVariant evolveAfterCommit(TrdmRecSaldo& dm, const char* function, const QString& committed, const QString& client,
                           const QString& consumer, const QString& branch)
{
    QString cause;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            evolveFromEarliestLine(dm, client, consumer, branch);
            return QVariant();
        } catch (const std::exception& e) {
            cause = QString::fromUtf8(e.what());
            qCWarning(lcServer).noquote()
                << QStringLiteral("%1: committed, balance evolution failed (attempt %2 of 2): %3")
                       .arg(QLatin1String(function))
                       .arg(attempt)
                       .arg(cause);
            rollbackQuietly(function);
        }
    }
    return committed + QStringLiteral(" Causa: ") + cause;
}
} // namespace CreditTransaction
