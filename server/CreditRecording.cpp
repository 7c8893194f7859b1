// setGravaCompCred: records a paid balance credit (cash movement, fiscal document,
// statement line) in one transaction, then evolves the consumer's balances.
#include "CardNumberMask.h"
#include "ClientDataSet.h"
#include "Consiste.h"
#include "CreditTransaction.h"
#include "DateTimeValue.h"
#include "FaultPoint.h"
#include "KioskError.h"
#include "Logging.h"
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

// The recording's arguments, by what they are.
struct Purchase {
    const QString& branch;
    const QString& till;
    const QString& client;
    const QString& consumer;
    const QString& family;
    const QString& deposit;
    const QString& coo;
    const QString& gnf;
    const QString& printerSerial;
    double turn;
    double fiscalDate;
};

// The numbers a row is written with: its cash movement, its statement line, its fiscal document
// (the last one taken; empty while none was).
struct Numbers {
    QString movement;
    QString line = QStringLiteral("001");
    QString fiscal;
    void next()
    {
        movement = incremented(movement, 10, "movement number");
        line = incremented(line, 3, "statement line number");
    }
};

ClientDataSet& loadPacket(TrdmRecSaldo& dm, const QVariant& packet, const Purchase& p)
{
    ClientDataSet& rows = *dm.cdsMovCaixa;
    rows.setData(packet);
    refuseWhatTheStoreCannotHold(rows, {{"CDFILIAL", p.branch, 4},
                                        {"CDCAIXA", p.till, 10},
                                        {"CDCLIENTE", p.client, 21},
                                        {"CDCONSUMIDOR", p.consumer, 21},
                                        {"CDFAMILISALD", p.family, 3},
                                        {"NRDEPOSICONS", p.deposit, 20},
                                        {"NRCOODOCNFIS", p.coo, 10},
                                        {"NRGNFDOCNFIS", p.gnf, 10},
                                        {"NRSERIEEFCDOCNF", p.printerSerial, 30}});
    refuseWhatTheStoreDoesNotKnow(&dm, p.branch, p.client, p.consumer, p.family);
    return rows;
}

// Reads the branch's sales parameters and the till's open turn (a turn that cannot be read fails
// the recording); the movements' client is the purchase's, else the branch's.
QString clientOfMovements(TrdmRecSaldo& dm, const Purchase& p)
{
    dm.adqParaVend->close();
    dm.adqParaVend->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(p.branch);
    dm.adqParaVend->open();
    dm.adqOperAber->close();
    dm.adqOperAber->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(p.branch);
    dm.adqOperAber->paramByName(QStringLiteral("P_CDCAIXA")).setAsString(p.till);
    dm.adqOperAber->paramByName(QStringLiteral("P_DTABERCAIX")).setAsDateTime(p.turn);
    dm.adqOperAber->open();
    return p.client != QString() ? p.client : dm.adqParaVend->fieldByName(QStringLiteral("CDCLIENTE")).asString();
}

// A new fiscal sequence number of the printer and its document; returns the number.
QString writeFiscalDocument(TrdmRecSaldo& dm, const Purchase& p)
{
    const QString number = CreditTransaction::reserveNumber(
        dm, [&](TdtmZelProxCodigo& generator) { return generator.PrxDocNFiscEcf(p.printerSerial); });
    SqlCommand& doc = *dm.acmInsDocNFisECF;
    doc.paramByName(QStringLiteral("NRSERIEEFCDOCNF")).setAsString(p.printerSerial);
    doc.paramByName(QStringLiteral("NRSEQECFDOCNF")).setAsString(number);
    doc.paramByName(QStringLiteral("NRCOODOCNFIS")).setAsString(p.coo);
    doc.paramByName(QStringLiteral("NRGNFDOCNFIS")).setAsString(p.gnf);
    doc.paramByName(QStringLiteral("NRGRGDOCNFIS")).setAsString(QString());
    doc.paramByName(QStringLiteral("NRCDCDOCNFIS")).setAsString(QString());
    doc.paramByName(QStringLiteral("IDTPDENOMDOCNF")).setAsString(QStringLiteral("CN"));
    doc.paramByName(QStringLiteral("DTHRFINEMISEFC")).setAsDateTime(DateTimeValue::now());
    doc.paramByName(QStringLiteral("DTMOVIDOCNFIS")).setAsDateTime(p.fiscalDate);
    doc.execute();
    return number;
}

void writeCashMovement(TrdmRecSaldo& dm, ClientDataSet& rows, const Purchase& p, const QString& movementClient,
                       const Numbers& numbers)
{
    const auto row = [&](const char* name) { return rows.fieldByName(QString::fromLatin1(name)); };
    SqlCommand& cash = *dm.acmCriaMovCaixa;
    cash.paramByName(QStringLiteral("CDFILIAL")).setAsString(p.branch);
    cash.paramByName(QStringLiteral("CDCAIXA")).setAsString(p.till);
    cash.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(p.turn);
    cash.paramByName(QStringLiteral("NRSEQUMOVI")).setAsString(numbers.movement);
    cash.paramByName(QStringLiteral("IDTIPOMOVIVE")).setAsString(row("IDTIPOMOVIVE").asString());
    cash.paramByName(QStringLiteral("DSMOVIVEND")).setAsString(row("DSMOVIVEND").asString());
    // Cents, as the NUMERIC(15,2) column keeps them on every engine.
    cash.paramByName(QStringLiteral("VRMOVIVEND"))
        .setAsFloat(StoreLimits::money(row("VRMOVIVEND").asFloat(), QStringLiteral("VRMOVIVEND")).units());
    cash.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
    cash.paramByName(QStringLiteral("CDTIPORECE")).setAsString(row("CDTIPORECE").asString());
    cash.paramByName(QStringLiteral("DTHRINCMOV")).setAsDateTime(row("DTHRINCMOV").asDateTime());
    cash.paramByName(QStringLiteral("CDCLIENTE")).setAsString(movementClient);
    cash.paramByName(QStringLiteral("DTMOVIMCAIXA")).setAsDateTime(row("DTMOVIMCAIXA").asDateTime());
    cash.paramByName(QStringLiteral("CDAGECHEQVEN")).setAsString(row("CDAGECHEQVEN").asString());
    cash.paramByName(QStringLiteral("CDBANCHEQVEN")).setAsString(row("CDBANCHEQVEN").asString());
    cash.paramByName(QStringLiteral("CDCNTCHEQVEN")).setAsString(row("CDCNTCHEQVEN").asString());
    cash.paramByName(QStringLiteral("NRCHEQUEVEND")).setAsString(row("NRCHEQUEVEND").asString());
    cash.paramByName(QStringLiteral("NRCARTBANCO")).setAsString(CardNumberMask::mask(row("NRCARTBANCO").asString()));
    cash.paramByName(QStringLiteral("CDNSUHOSTTEF")).setAsString(row("CDNSUHOSTTEF").asString());
    cash.paramByName(QStringLiteral("VRMOVIVEOUT"))
        .setAsFloat(StoreLimits::money(row("VRMOVIVEOUT").asFloat(), QStringLiteral("VRMOVIVEOUT")).units());
    cash.paramByName(QStringLiteral("VRCOTINDOUT")).setAsFloat(row("VRCOTINDOUT").asFloat());
    if (!Srv_consiste::EmptyString(row("DTDEPCHEQVEN").asString()))
        cash.paramByName(QStringLiteral("DTDEPCHEQVEN")).setAsDateTime(row("DTDEPCHEQVEN").asDateTime());
    else
        cash.paramByName(QStringLiteral("DTDEPCHEQVEN")).setNull(ParamType::DateTime);
    cash.paramByName(QStringLiteral("NRSERCAIXADOCNF")).setAsString(p.printerSerial);
    cash.paramByName(QStringLiteral("NRSEQCAIXADOCNF")).setAsString(numbers.fiscal);
    cash.execute();
}

// The consumer's credit line, its balance column holding the amount until the evolution runs.
void writeStatementLine(TrdmRecSaldo& dm, ClientDataSet& rows, const Purchase& p, double statementTime,
                        const Numbers& numbers)
{
    const double amount =
        StoreLimits::money(rows.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(), QStringLiteral("VRMOVIVEND"))
            .units();
    SqlCommand& line = *dm.acmInsEXTRATOCONS;
    line.paramByName(QStringLiteral("CDCLIENTE")).setAsString(p.client);
    line.paramByName(QStringLiteral("CDCONSUMIDOR")).setAsString(p.consumer);
    line.paramByName(QStringLiteral("CDFAMILISALD")).setAsString(p.family);
    line.paramByName(QStringLiteral("DTMOVEXTCONS")).setAsDateTime(statementTime);
    line.paramByName(QStringLiteral("NRSEQMOVEXT")).setAsString(numbers.line);
    line.paramByName(QStringLiteral("CDTIPORECE"))
        .setAsString(rows.fieldByName(QStringLiteral("CDTIPORECE")).asString());
    line.paramByName(QStringLiteral("IDTPMOVEXT")).setAsString(QStringLiteral("C"));
    line.paramByName(QStringLiteral("DSOPEEXTCONS")).setAsString(QStringLiteral("ZEL - Crédito Caixa ") + p.till);
    line.paramByName(QStringLiteral("VRMOVEXTCONS")).setAsFloat(amount);
    line.paramByName(QStringLiteral("VRSALDCONEXT")).setAsFloat(amount);
    line.paramByName(QStringLiteral("CDFILIAL")).setAsString(p.branch);
    line.paramByName(QStringLiteral("CDCAIXA")).setAsString(p.till);
    line.paramByName(QStringLiteral("NRSEQVENDA")).setAsString(QString());
    line.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(p.turn);
    line.paramByName(QStringLiteral("NRDEPOSICONS")).setAsString(p.deposit);
    line.paramByName(QStringLiteral("NRSEQMOVCAIXA")).setAsString(numbers.movement);
    line.execute();
}
} // namespace

QVariant setGravaCompCred(const QVariant& cdsMovCaixaData, const QString& CDFILIAL, const QString& CDCAIXA,
                          const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFAMILISALD,
                          const QString& NRDEPOSICONS, const QString& NRCOODOCNFIS, const QString& NRGNFDOCNFIS,
                          const QString& NRSERIEEFCDOCNF, double DTABERCAIX, double DTMOVIDOCNFIS)
{
    const Purchase p{CDFILIAL,     CDCAIXA,      CDCLIENTE,       CDCONSUMIDOR, CDFAMILISALD, NRDEPOSICONS,
                     NRCOODOCNFIS, NRGNFDOCNFIS, NRSERIEEFCDOCNF, DTABERCAIX,   DTMOVIDOCNFIS};
    return CreditTransaction::run("setGravaCompCred", [&](TrdmRecSaldo& dm) {
        // 1. The packet, visited in the order of idxNRORDTROCO, checked before anything is written.
        ClientDataSet& rows = loadPacket(dm, cdsMovCaixaData, p);
        // 2. Movement numbers for every row, reserved before the transaction.
        Numbers numbers;
        if (rows.recordCount() > 0)
            numbers.movement = CreditTransaction::reserveNumber(dm, [&](TdtmZelProxCodigo& generator) {
                return generator.PrxMovCaixa(p.branch, p.till, p.turn, rows.recordCount());
            });
        // 3. One transaction over every row.
        dm.StartTrans();
        // 4-5. The branch's sales parameters and the till's open turn.
        const QString movementClient = clientOfMovements(dm, p);
        // 6-7. Per row: the fiscal document (when a COO is given), the cash movement, the statement line.
        const double statementTime = DateTimeValue::now();
        for (rows.first(); !rows.eof(); rows.next()) {
            if (!Srv_consiste::EmptyString(p.coo))
                numbers.fiscal = writeFiscalDocument(dm, p);
            writeCashMovement(dm, rows, p, movementClient, numbers);
            writeStatementLine(dm, rows, p, statementTime, numbers);
            numbers.next();
        }
        // 8. Everything of the recording at once. A crash test may stop the kiosk just before.
        FaultPoint::hit("mid-recording");
        dm.CommitTrans();
        // 9-11. The balances, from the consumer's earliest statement date.
        return CreditTransaction::evolveAfterCommit(
            dm, "setGravaCompCred",
            QStringLiteral("Crédito registrado; os saldos serão atualizados na próxima consulta."), p.client,
            p.consumer, p.branch);
    });
}

} // namespace Srv_kvb52814
