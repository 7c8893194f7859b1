// setGravaCompCred: records a paid balance credit (cash movement, fiscal document,
// statement line) in one transaction, then evolves the consumer's balances.
#include "CardNumberMask.h"
#include "ClientDataSet.h"
#include "Consiste.h"
#include "DateTimeValue.h"
#include "FaultPoint.h"
#include "KioskError.h"
#include "Logging.h"
#include "MoneyRounding.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"
#include "StoreLimits.h"
#include "TdtmZelProxCodigo.h"
#include "TrdmRecSaldo.h"

namespace Srv_kvb52814
{

namespace
{
// A failed number request abandons the recording at once: there is no number to
// write, and carrying on would either fail later with a less telling message or
// commit rows with a missing fiscal number.
struct NumberRequestFailed {
    QString text;
};

void rollbackQuietly(TrdmRecSaldo* dm)
{
    if (!dm)
        return;
    try {
        dm->RollbackTrans();
    } catch (const std::exception& e) {
        qCWarning(lcServer).noquote() << "setGravaCompCred: rollback failed too:" << e.what();
    }
}

void evolveFromEarliestLine(TrdmRecSaldo* dm, const QString& client, const QString& consumer, const QString& branch)
{
    dm->adqMinDtMovExtCons->close();
    dm->adqMinDtMovExtCons->paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(client);
    dm->adqMinDtMovExtCons->paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumer);
    dm->adqMinDtMovExtCons->open();
    const double since = dm->adqMinDtMovExtCons->fieldByName(QStringLiteral("DTMOVEXTCONS")).asDateTime();
    EvoluiSaldo(client, consumer, branch, since);
    dm->adqMinDtMovExtCons->close();
}

// Once committed the credit is in the store; what follows only brings the balances up
// to date. A failure is retried once; if it persists the result says the credit was
// recorded, so that nobody charges the card again, and the next evolution (the
// screen's, or kioskctl evolve) repairs the balances.
QVariant balancesAfterCommit(TrdmRecSaldo* dm, const QString& client, const QString& consumer, const QString& branch)
{
    QString cause;
    for (int attempt = 1; attempt <= 2; ++attempt) {
        try {
            evolveFromEarliestLine(dm, client, consumer, branch);
            return QVariant();
        } catch (const std::exception& e) {
            cause = QString::fromUtf8(e.what());
            qCWarning(lcServer).noquote() << "setGravaCompCred: credit committed, balance evolution failed (attempt"
                                          << attempt << "of 2):" << cause;
            rollbackQuietly(dm);
        }
    }
    return QStringLiteral("Crédito registrado; os saldos serão atualizados na próxima consulta. Causa: ") + cause;
}

// Refuses, before any number is reserved or any row written, a call whose codes, texts or amounts
// the store's columns cannot hold or that cannot be a credit (an amount not positive or not in
// whole cents, a text with a NUL); the database would refuse some later, each engine differently,
// and take others silently. Every failure names the field and, where it helps, the value.
struct Argument {
    const char* name;
    const QString& value;
    int width;
};

const char* const cardField = "NRCARTBANCO";

void refuseWhatTheStoreCannotHold(ClientDataSet& mov, std::initializer_list<Argument> arguments)
{
    for (const Argument& a : arguments) {
        const QString what = QString::fromLatin1(a.name);
        StoreLimits::noNul(a.value, what, a.value);
        StoreLimits::text(a.value, a.width, what);
    }
    static const std::pair<const char*, int> rowTexts[] = {
        {"IDTIPOMOVIVE", 1},  {"DSMOVIVEND", 250}, {"CDTIPORECE", 3},   {"CDAGECHEQVEN", 5}, {"CDBANCHEQVEN", 3},
        {"CDCNTCHEQVEN", 16}, {"NRCHEQUEVEND", 6}, {"NRCARTBANCO", 20}, {"CDNSUHOSTTEF", 50}};
    int rowNo = 0;
    for (mov.first(); !mov.eof(); mov.next()) {
        ++rowNo;
        const auto what = [&](const char* field) {
            return QStringLiteral("row %1, %2").arg(rowNo).arg(QLatin1String(field));
        };
        for (const auto& [field, w] : rowTexts) {
            const QString value = mov.fieldByName(QString::fromLatin1(field)).asString();
            // A card number is never quoted whole (it is bound masked, below).
            const QString shown = qstrcmp(field, cardField) == 0 ? CardNumberMask::mask(value) : value;
            StoreLimits::noNul(value, what(field), shown);
            StoreLimits::text(value, w, what(field));
        }
        StoreLimits::credit(mov.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(), what("VRMOVIVEND"));
        StoreLimits::money(mov.fieldByName(QStringLiteral("VRMOVIVEOUT")).asFloat(), what("VRMOVIVEOUT"));
        StoreLimits::quotation(mov.fieldByName(QStringLiteral("VRCOTINDOUT")).asFloat(), what("VRCOTINDOUT"));
    }
}

// Refuses a credit to a consumer the store does not know or to a family the branch does not
// offer: its lines would never show in a balance the screen reads.
void refuseWhatTheStoreDoesNotKnow(TrdmRecSaldo* dm, const QString& branch, const QString& client,
                                   const QString& consumer, const QString& family)
{
    SqlQuery& known = *dm->adqConsumidor;
    known.close();
    known.paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(client);
    known.paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumer);
    known.open();
    const bool consumerKnown = !known.eof();
    known.close();
    if (!consumerKnown)
        throw KioskError(QStringLiteral("CDCONSUMIDOR \"%1\" of CDCLIENTE \"%2\" is not a consumer of the store")
                             .arg(consumer, client));

    SqlQuery& offered = *dm->adqFamiliaFilial;
    offered.close();
    offered.paramByName(QStringLiteral("P_CDFILIAL")).setAsString(branch);
    offered.paramByName(QStringLiteral("P_CDFAMILISALD")).setAsString(family);
    offered.open();
    const bool familyOffered = !offered.eof();
    offered.close();
    if (!familyOffered)
        throw KioskError(
            QStringLiteral("CDFAMILISALD \"%1\" is not a balance family branch \"%2\" offers").arg(family, branch));
}

QString incremented(const QString& number, int width, const char* what)
{
    bool ok = false;
    const qint64 n = number.trimmed().toLongLong(&ok);
    if (!ok)
        throw KioskError(QStringLiteral("%1 \"%2\" is not a decimal integer").arg(QString::fromLatin1(what), number));
    return Srv_consiste::Ajusta(QString::number(n + 1), width);
}
} // namespace

QVariant setGravaCompCred(const QVariant& cdsMovCaixaData, const QString& CDFILIAL, const QString& CDCAIXA,
                          const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFAMILISALD,
                          const QString& NRDEPOSICONS, const QString& NRCOODOCNFIS, const QString& NRGNFDOCNFIS,
                          const QString& NRSERIEEFCDOCNF, double DTABERCAIX, double DTMOVIDOCNFIS)
{
    TrdmRecSaldo* dm = ServerModule::current();
    try {
        if (!dm)
            ServerModule::instance(); // raises the "not created" failure
        ClientDataSet& mov = *dm->cdsMovCaixa;

        // 1. The packet, visited in the order of idxNRORDTROCO.
        mov.setData(cdsMovCaixaData);
        refuseWhatTheStoreCannotHold(mov, {{"CDFILIAL", CDFILIAL, 4},
                                           {"CDCAIXA", CDCAIXA, 10},
                                           {"CDCLIENTE", CDCLIENTE, 21},
                                           {"CDCONSUMIDOR", CDCONSUMIDOR, 21},
                                           {"CDFAMILISALD", CDFAMILISALD, 3},
                                           {"NRDEPOSICONS", NRDEPOSICONS, 20},
                                           {"NRCOODOCNFIS", NRCOODOCNFIS, 10},
                                           {"NRGNFDOCNFIS", NRGNFDOCNFIS, 10},
                                           {"NRSERIEEFCDOCNF", NRSERIEEFCDOCNF, 30}});
        refuseWhatTheStoreDoesNotKnow(dm, CDFILIAL, CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD);

        // 2. Movement numbers for every row, reserved before the transaction.
        QString nrSequMovi;
        const int rows = mov.recordCount();
        if (rows > 0) {
            try {
                TdtmZelProxCodigo generator(dm->adcRecSaldo);
                nrSequMovi = generator.PrxMovCaixa(CDFILIAL, CDCAIXA, DTABERCAIX, rows);
            } catch (const std::exception& e) {
                throw NumberRequestFailed{ServerModule::failureText(e)};
            }
        }

        // 3-5. Transaction, sales parameters, open turn.
        dm->StartTrans();
        dm->adqParaVend->close();
        dm->adqParaVend->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        dm->adqParaVend->open();
        dm->adqOperAber->close();
        dm->adqOperAber->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
        dm->adqOperAber->paramByName(QStringLiteral("P_CDCAIXA")).setAsString(CDCAIXA);
        dm->adqOperAber->paramByName(QStringLiteral("P_DTABERCAIX")).setAsDateTime(DTABERCAIX);
        dm->adqOperAber->open();

        // 6-7. One fiscal document (when a COO is given), cash movement and statement line per row.
        const double statementTime = DateTimeValue::now();
        QString nrSeqMovExt = QStringLiteral("001");
        QString nrSeqEcf;
        const QString movementClient =
            CDCLIENTE != QString() ? CDCLIENTE : dm->adqParaVend->fieldByName(QStringLiteral("CDCLIENTE")).asString();
        const QString description = QStringLiteral("ZEL - Crédito Caixa ") + CDCAIXA;

        for (mov.first(); !mov.eof(); mov.next()) {
            if (!Srv_consiste::EmptyString(NRCOODOCNFIS)) {
                try {
                    TdtmZelProxCodigo generator(dm->adcRecSaldo);
                    nrSeqEcf = generator.PrxDocNFiscEcf(NRSERIEEFCDOCNF);
                } catch (const std::exception& e) {
                    throw NumberRequestFailed{ServerModule::failureText(e)};
                }
                SqlCommand& doc = *dm->acmInsDocNFisECF;
                doc.paramByName(QStringLiteral("NRSERIEEFCDOCNF")).setAsString(NRSERIEEFCDOCNF);
                doc.paramByName(QStringLiteral("NRSEQECFDOCNF")).setAsString(nrSeqEcf);
                doc.paramByName(QStringLiteral("NRCOODOCNFIS")).setAsString(NRCOODOCNFIS);
                doc.paramByName(QStringLiteral("NRGNFDOCNFIS")).setAsString(NRGNFDOCNFIS);
                doc.paramByName(QStringLiteral("NRGRGDOCNFIS")).setAsString(QString());
                doc.paramByName(QStringLiteral("NRCDCDOCNFIS")).setAsString(QString());
                doc.paramByName(QStringLiteral("IDTPDENOMDOCNF")).setAsString(QStringLiteral("CN"));
                doc.paramByName(QStringLiteral("DTHRFINEMISEFC")).setAsDateTime(DateTimeValue::now());
                doc.paramByName(QStringLiteral("DTMOVIDOCNFIS")).setAsDateTime(DTMOVIDOCNFIS);
                doc.execute();
            }

            const auto row = [&](const char* name) { return mov.fieldByName(QString::fromLatin1(name)); };
            SqlCommand& cash = *dm->acmCriaMovCaixa;
            cash.paramByName(QStringLiteral("CDFILIAL")).setAsString(CDFILIAL);
            cash.paramByName(QStringLiteral("CDCAIXA")).setAsString(CDCAIXA);
            cash.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(DTABERCAIX);
            cash.paramByName(QStringLiteral("NRSEQUMOVI")).setAsString(nrSequMovi);
            cash.paramByName(QStringLiteral("IDTIPOMOVIVE")).setAsString(row("IDTIPOMOVIVE").asString());
            cash.paramByName(QStringLiteral("DSMOVIVEND")).setAsString(row("DSMOVIVEND").asString());
            // Cents, as the NUMERIC(15,2) column keeps them on every engine.
            cash.paramByName(QStringLiteral("VRMOVIVEND"))
                .setAsFloat(MoneyRounding::roundTo2(row("VRMOVIVEND").asFloat()));
            cash.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
            cash.paramByName(QStringLiteral("CDTIPORECE")).setAsString(row("CDTIPORECE").asString());
            cash.paramByName(QStringLiteral("DTHRINCMOV")).setAsDateTime(row("DTHRINCMOV").asDateTime());
            cash.paramByName(QStringLiteral("CDCLIENTE")).setAsString(movementClient);
            cash.paramByName(QStringLiteral("DTMOVIMCAIXA")).setAsDateTime(row("DTMOVIMCAIXA").asDateTime());
            cash.paramByName(QStringLiteral("CDAGECHEQVEN")).setAsString(row("CDAGECHEQVEN").asString());
            cash.paramByName(QStringLiteral("CDBANCHEQVEN")).setAsString(row("CDBANCHEQVEN").asString());
            cash.paramByName(QStringLiteral("CDCNTCHEQVEN")).setAsString(row("CDCNTCHEQVEN").asString());
            cash.paramByName(QStringLiteral("NRCHEQUEVEND")).setAsString(row("NRCHEQUEVEND").asString());
            cash.paramByName(QStringLiteral("NRCARTBANCO"))
                .setAsString(CardNumberMask::mask(row("NRCARTBANCO").asString()));
            cash.paramByName(QStringLiteral("CDNSUHOSTTEF")).setAsString(row("CDNSUHOSTTEF").asString());
            cash.paramByName(QStringLiteral("VRMOVIVEOUT"))
                .setAsFloat(MoneyRounding::roundTo2(row("VRMOVIVEOUT").asFloat()));
            cash.paramByName(QStringLiteral("VRCOTINDOUT")).setAsFloat(row("VRCOTINDOUT").asFloat());
            if (!Srv_consiste::EmptyString(row("DTDEPCHEQVEN").asString()))
                cash.paramByName(QStringLiteral("DTDEPCHEQVEN")).setAsDateTime(row("DTDEPCHEQVEN").asDateTime());
            else
                cash.paramByName(QStringLiteral("DTDEPCHEQVEN")).setNull(ParamType::DateTime);
            cash.paramByName(QStringLiteral("NRSERCAIXADOCNF")).setAsString(NRSERIEEFCDOCNF);
            cash.paramByName(QStringLiteral("NRSEQCAIXADOCNF")).setAsString(nrSeqEcf);
            cash.execute();

            const double amount = MoneyRounding::roundTo2(row("VRMOVIVEND").asFloat());
            SqlCommand& line = *dm->acmInsEXTRATOCONS;
            line.paramByName(QStringLiteral("CDCLIENTE")).setAsString(CDCLIENTE);
            line.paramByName(QStringLiteral("CDCONSUMIDOR")).setAsString(CDCONSUMIDOR);
            line.paramByName(QStringLiteral("CDFAMILISALD")).setAsString(CDFAMILISALD);
            line.paramByName(QStringLiteral("DTMOVEXTCONS")).setAsDateTime(statementTime);
            line.paramByName(QStringLiteral("NRSEQMOVEXT")).setAsString(nrSeqMovExt);
            line.paramByName(QStringLiteral("CDTIPORECE")).setAsString(row("CDTIPORECE").asString());
            line.paramByName(QStringLiteral("IDTPMOVEXT")).setAsString(QStringLiteral("C"));
            line.paramByName(QStringLiteral("DSOPEEXTCONS")).setAsString(description);
            line.paramByName(QStringLiteral("VRMOVEXTCONS")).setAsFloat(amount);
            line.paramByName(QStringLiteral("VRSALDCONEXT")).setAsFloat(amount);
            line.paramByName(QStringLiteral("CDFILIAL")).setAsString(CDFILIAL);
            line.paramByName(QStringLiteral("CDCAIXA")).setAsString(CDCAIXA);
            line.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
            line.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(DTABERCAIX);
            line.paramByName(QStringLiteral("NRDEPOSICONS")).setAsString(NRDEPOSICONS);
            line.paramByName(QStringLiteral("NRSEQMOVCAIXA")).setAsString(nrSequMovi);
            line.execute();

            nrSequMovi = incremented(nrSequMovi, 10, "movement number");
            nrSeqMovExt = incremented(nrSeqMovExt, 3, "statement line number");
        }

        // 8. Everything of the recording at once. A crash test may stop the kiosk just before.
        FaultPoint::hit("mid-recording");
        dm->CommitTrans();

        // 9-11. Balances from the consumer's earliest statement date.
        return balancesAfterCommit(dm, CDCLIENTE, CDCONSUMIDOR, CDFILIAL);
    } catch (const NumberRequestFailed& f) {
        qCWarning(lcServer).noquote() << "setGravaCompCred: number request failed:" << f.text;
        rollbackQuietly(dm);
        return f.text;
    } catch (const std::exception& e) {
        const QString text = e.what() ? QString::fromUtf8(e.what()) : QString();
        qCWarning(lcServer).noquote() << "setGravaCompCred failed:" << text;
        rollbackQuietly(dm);
        return text;
    }
}

} // namespace Srv_kvb52814
