#include "StoreLedger.h"

#include "ClientDataSet.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "PaymentTerminal.h"
#include "PurchaseJournal.h"
#include "Srv_kvb52814.h"

#include <cmath>

namespace
{
DataPacket packetOf(const QVariant& result, const char* function = "getMovCaixaNsu")
{
    if (!PacketVariant::isPacket(result))
        throw KioskError(QLatin1String(function) + QStringLiteral(": ") + result.toString());
    return PacketVariant::packet(result);
}

// Time, movement date and amount of a movement.
struct Identity {
    double when = 0;
    double day = 0;
    Money amount;

    bool operator==(const Identity& other) const
    {
        const double oneMillisecond = 1.0 / 86400000.0;
        return std::abs(when - other.when) < oneMillisecond && std::abs(day - other.day) < oneMillisecond &&
               amount == other.amount;
    }
};

Identity identityOf(ClientDataSet& rows)
{
    return {rows.fieldByName(QStringLiteral("DTHRINCMOV")).asDateTime(),
            rows.fieldByName(QStringLiteral("DTMOVIMCAIXA")).asDateTime(),
            Money::fromUnits(rows.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(), QStringLiteral("VRMOVIVEND"))};
}

// The movements of a look-up that a purchase may be: a reversal ("S") carries the NSU of the
// credit it reverses and is never the purchase.
QList<Identity> purchaseMovements(const DataPacket& packet)
{
    ClientDataSet rows(QStringLiteral("cdsLedgerMovements"));
    rows.setData(packet);
    QList<Identity> out;
    for (rows.first(); !rows.eof(); rows.next())
        if (rows.fieldByName(QStringLiteral("IDTIPOMOVIVE")).asString() != QLatin1String("S"))
            out << identityOf(rows);
    return out;
}
} // namespace

bool StoreLedger::hasMovement(const QString& nsu, const QString& branch, const QString& till)
{
    return !purchaseMovements(packetOf(Srv_kvb52814::getMovCaixaNsu(branch, till, nsu))).isEmpty();
}

bool StoreLedger::hasMovement(const QString& nsu, const QString& branch, const QString& till, double movementDate)
{
    return !purchaseMovements(packetOf(Srv_kvb52814::getMovCaixaNsu(branch, till, nsu, movementDate))).isEmpty();
}

bool StoreLedger::holds(const PurchaseRecord& purchase)
{
    ClientDataSet mine(QStringLiteral("cdsLedgerPurchase"));
    mine.setData(purchase.packet);
    mine.first();
    const Identity own = identityOf(mine);
    const QList<Identity> stored = purchaseMovements(
        packetOf(Srv_kvb52814::getMovCaixaNsu(purchase.CDFILIAL, purchase.CDCAIXA, purchase.nsu, own.day)));
    if (stored.isEmpty())
        return false;
    const bool same = stored.contains(own);
    if (!same)
        qCWarning(lcJournal).noquote() << "NSU" << purchase.nsu << "of till" << purchase.CDCAIXA
                                       << "is held by another purchase of the same day in the store; this one is "
                                          "not recorded";
    return same;
}

bool StoreLedger::holdsCharge(const QString& branch, const QString& till, const PendingTransaction& charge)
{
    if (!charge.approvedAt.isValid())
        throw KioskError(QStringLiteral("the terminal gives no approval time for NSU %1: its credit cannot be told "
                                        "from another purchase's with the same NSU")
                             .arg(charge.nsu));
    // The movement dates a movement of the charge may carry.
    const QDate from = charge.approvedAt.addSecs(-chargeMovementBeforeS).date();
    const QDate to = charge.approvedAt.addSecs(chargeMovementAfterS).date();
    bool another = false;
    for (QDate day = from; day <= to; day = day.addDays(1)) {
        const QList<Identity> stored = purchaseMovements(
            packetOf(Srv_kvb52814::getMovCaixaNsu(branch, till, charge.nsu, DateTimeValue::fromDate(day))));
        for (const Identity& m : stored) {
            if (isChargeMovement(m.when, m.amount, charge))
                return true;
            another = true;
        }
    }
    if (another)
        qCWarning(lcJournal).noquote() << "NSU" << charge.nsu << "of till" << till
                                       << "is held by another purchase in the store (another amount or time); the "
                                          "pending charge is not recorded";
    return false;
}

int StoreLedger::evolveStaleBalances(const QString& client, const QString& consumer, const QString& branch)
{
    ClientDataSet stale(QStringLiteral("cdsSaldoDesatualizado"));
    stale.setData(packetOf(Srv_kvb52814::getSaldoDesatualizado(client, consumer), "getSaldoDesatualizado"));
    int behind = 0;
    double start = 0;
    for (stale.first(); !stale.eof(); stale.next()) {
        const double first = stale.fieldByName(QStringLiteral("DTMOVEXTCONS")).asDateTime();
        start = behind == 0 ? first : std::min(start, first);
        ++behind;
    }
    if (behind == 0)
        return 0;
    try {
        Srv_kvb52814::EvoluiSaldo(client, consumer, branch, start);
    } catch (const KioskError&) {
        throw;
    } catch (const std::exception& e) {
        throw KioskError(QStringLiteral("EvoluiSaldo: ") + QString::fromUtf8(e.what()));
    }
    qCWarning(lcJournal).noquote() << behind << "balance(s) of consumer" << consumer << "of client" << client
                                   << "were behind their statement lines; evolved";
    return behind;
}

QString StoreLedger::record(const PurchaseRecord& p)
{
    const QVariant result = Srv_kvb52814::setGravaCompCred(
        PacketVariant::of(p.packet), p.CDFILIAL, p.CDCAIXA, p.CDCLIENTE, p.CDCONSUMIDOR, p.CDFAMILISALD, p.NRDEPOSICONS,
        p.NRCOODOCNFIS, p.NRGNFDOCNFIS, p.NRSERIEEFCDOCNF, p.DTABERCAIX, p.DTMOVIDOCNFIS);
    if (!result.isValid())
        return QString();
    const QString text = result.toString();
    return text.isEmpty() ? QStringLiteral("setGravaCompCred failed without a text") : text;
}
