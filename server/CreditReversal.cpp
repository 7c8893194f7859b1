// setEstornaCompCred: reverses the balance credit of a card transaction that was never paid.
#include "ClientDataSet.h"
#include "Consiste.h"
#include "CreditTransaction.h"
#include "DataSetProvider.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "Logging.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"
#include "StoreLimits.h"
#include "TdtmZelProxCodigo.h"

namespace Srv_kvb52814
{

namespace
{
// The credit as the store holds it: its cash movement and its statement line.
struct Credit {
    double turn = 0;
    QString movement;
    QString receiptType;
    QString movementClient;
    QString card;
    Money movementAmount;
    QString client;
    QString consumer;
    QString family;
    Money lineAmount;
    QString deposit;
};

QString describe(const QString& branch, const QString& till, const QString& nsu, double date)
{
    return QStringLiteral("NSU %1 on till %2 of branch %3 on %4")
        .arg(nsu, till, branch, DateTimeValue::toDateTime(date).date().toString(Qt::ISODate));
}

// Reads the credit; refuses when there is none or it is reversed already.
Credit theCredit(TrdmRecSaldo& dm, const QString& branch, const QString& till, const QString& nsu, double date)
{
    SqlQuery& q = *dm.adqCompCredNsu;
    q.close();
    q.paramByName(QStringLiteral("P_CDFILIAL")).setAsString(branch);
    q.paramByName(QStringLiteral("P_CDCAIXA")).setAsString(till);
    q.paramByName(QStringLiteral("P_CDNSUHOSTTEF")).setAsString(nsu);
    q.paramByName(QStringLiteral("P_DTMOVIMCAIXADE")).setAsDateTime(date);
    q.paramByName(QStringLiteral("P_DTMOVIMCAIXAATE")).setAsDateTime(date);
    q.open();
    if (q.recordCount() == 0)
        throw KioskError(
            QStringLiteral("no balance credit with %1: nothing was reversed").arg(describe(branch, till, nsu, date)));
    if (q.recordCount() > 1)
        throw KioskError(QStringLiteral("%1 has %2 statement lines: reverse it by hand")
                             .arg(describe(branch, till, nsu, date))
                             .arg(q.recordCount()));
    q.first();
    const auto f = [&](const char* name) { return q.fieldByName(QString::fromLatin1(name)); };
    if (!f("NRSEQUMOVIESTORNO").isNull())
        throw KioskError(QStringLiteral("the credit of %1 is already reversed (cash movement %2): nothing was written")
                             .arg(describe(branch, till, nsu, date), f("NRSEQUMOVIESTORNO").asString()));
    Credit c;
    c.turn = f("DTABERCAIX").asDateTime();
    c.movement = f("NRSEQUMOVI").asString();
    c.receiptType = f("CDTIPORECE").asString();
    c.movementClient = f("CDCLIENTEMOV").asString();
    c.card = f("NRCARTBANCO").asString();
    c.movementAmount = StoreLimits::money(f("VRMOVIVEND").asFloat(), QStringLiteral("VRMOVIVEND"));
    c.client = f("CDCLIENTE").asString();
    c.consumer = f("CDCONSUMIDOR").asString();
    c.family = f("CDFAMILISALD").asString();
    c.lineAmount = StoreLimits::money(f("VRMOVEXTCONS").asFloat(), QStringLiteral("VRMOVEXTCONS"));
    c.deposit = f("NRDEPOSICONS").asString();
    q.close();
    return c;
}

void writeReversal(TrdmRecSaldo& dm, const Credit& c, const QString& branch, const QString& till, const QString& nsu,
                   double date, const QString& number)
{
    const double now = DateTimeValue::now();
    // The till pays the amount back: an outgoing movement of the credit's receipt type, with the
    // credit's NSU and movement date, so the store holds at most one reversal per credit.
    SqlCommand& cash = *dm.acmCriaMovCaixa;
    cash.paramByName(QStringLiteral("CDFILIAL")).setAsString(branch);
    cash.paramByName(QStringLiteral("CDCAIXA")).setAsString(till);
    cash.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(c.turn);
    cash.paramByName(QStringLiteral("NRSEQUMOVI")).setAsString(number);
    cash.paramByName(QStringLiteral("IDTIPOMOVIVE")).setAsString(QStringLiteral("S"));
    cash.paramByName(QStringLiteral("DSMOVIVEND"))
        .setAsString(QStringLiteral("Estorno do movimento %1 (NSU %2)").arg(c.movement, nsu));
    cash.paramByName(QStringLiteral("VRMOVIVEND")).setAsFloat(c.movementAmount.units());
    cash.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
    cash.paramByName(QStringLiteral("CDTIPORECE")).setAsString(c.receiptType);
    cash.paramByName(QStringLiteral("DTHRINCMOV")).setAsDateTime(now);
    cash.paramByName(QStringLiteral("CDCLIENTE")).setAsString(c.movementClient);
    cash.paramByName(QStringLiteral("DTMOVIMCAIXA")).setAsDateTime(date);
    for (const char* empty :
         {"CDAGECHEQVEN", "CDBANCHEQVEN", "CDCNTCHEQVEN", "NRCHEQUEVEND", "NRSERCAIXADOCNF", "NRSEQCAIXADOCNF"})
        cash.paramByName(QString::fromLatin1(empty)).setAsString(QString());
    cash.paramByName(QStringLiteral("DTDEPCHEQVEN")).setNull(ParamType::DateTime);
    cash.paramByName(QStringLiteral("NRCARTBANCO")).setAsString(c.card);
    cash.paramByName(QStringLiteral("CDNSUHOSTTEF")).setAsString(nsu);
    cash.paramByName(QStringLiteral("VRMOVIVEOUT")).setAsFloat(0);
    cash.paramByName(QStringLiteral("VRCOTINDOUT")).setAsFloat(0);
    cash.execute();

    SqlCommand& line = *dm.acmInsEXTRATOCONS;
    line.paramByName(QStringLiteral("CDCLIENTE")).setAsString(c.client);
    line.paramByName(QStringLiteral("CDCONSUMIDOR")).setAsString(c.consumer);
    line.paramByName(QStringLiteral("CDFAMILISALD")).setAsString(c.family);
    line.paramByName(QStringLiteral("DTMOVEXTCONS")).setAsDateTime(now);
    line.paramByName(QStringLiteral("NRSEQMOVEXT")).setAsString(QStringLiteral("001"));
    line.paramByName(QStringLiteral("CDTIPORECE")).setAsString(c.receiptType);
    line.paramByName(QStringLiteral("IDTPMOVEXT")).setAsString(QStringLiteral("D"));
    line.paramByName(QStringLiteral("DSOPEEXTCONS")).setAsString(QStringLiteral("ZEL - Estorno Caixa ") + till);
    line.paramByName(QStringLiteral("VRMOVEXTCONS")).setAsFloat(c.lineAmount.units());
    // As for a credit, the line's balance column first holds its own amount; the evolution that
    // follows the commit writes the running balance.
    line.paramByName(QStringLiteral("VRSALDCONEXT")).setAsFloat(c.lineAmount.units());
    line.paramByName(QStringLiteral("CDFILIAL")).setAsString(branch);
    line.paramByName(QStringLiteral("CDCAIXA")).setAsString(till);
    line.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
    line.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(c.turn);
    line.paramByName(QStringLiteral("NRDEPOSICONS")).setAsString(c.deposit);
    line.paramByName(QStringLiteral("NRSEQMOVCAIXA")).setAsString(number);
    line.execute();
}

} // namespace

QString reversalCommittedText()
{
    return QStringLiteral("Estorno registrado; os saldos serão atualizados na próxima consulta.");
}

QVariant setEstornaCompCred(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                            double DTMOVIMCAIXA)
{
    return CreditTransaction::run("setEstornaCompCred", [&](TrdmRecSaldo& m) {
        StoreLimits::text(CDFILIAL, 4, QStringLiteral("CDFILIAL"));
        StoreLimits::text(CDCAIXA, 10, QStringLiteral("CDCAIXA"));
        StoreLimits::text(CDNSUHOSTTEF, 50, QStringLiteral("CDNSUHOSTTEF"));
        if (Srv_consiste::EmptyString(CDNSUHOSTTEF))
            throw KioskError(QStringLiteral("no NSU given: nothing was reversed"));

        // Refused before a number is reserved; read again inside the transaction.
        const Credit first = theCredit(m, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA);
        const QString number = CreditTransaction::reserveNumber(
            m, [&](TdtmZelProxCodigo& generator) { return generator.PrxMovCaixa(CDFILIAL, CDCAIXA, first.turn, 1); });

        m.StartTrans();
        // Another technician may have reversed it meanwhile; a reversal still uncommitted
        // elsewhere is refused by the store's unique index at the insert below.
        const Credit c = theCredit(m, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA);
        writeReversal(m, c, CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA, number);
        m.CommitTrans();
        qCInfo(lcServer).noquote() << "setEstornaCompCred: reversed the credit of"
                                   << describe(CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA) << "with movement"
                                   << number;

        // The reversal is in the store; the balances follow as after a recording.
        return CreditTransaction::evolveAfterCommit(m, "setEstornaCompCred", reversalCommittedText(), c.client,
                                                    c.consumer, CDFILIAL);
    });
}

} // namespace Srv_kvb52814
