#include "StoreLedger.h"

#include "ClientDataSet.h"
#include "KioskError.h"
#include "PurchaseJournal.h"
#include "Srv_kvb52814.h"

#include <cmath>

namespace
{
DataPacket packetOf(const QVariant& result)
{
    if (!PacketVariant::isPacket(result))
        throw KioskError(QStringLiteral("getMovCaixaNsu: ") + result.toString());
    return PacketVariant::packet(result);
}

// Time, movement date and amount of a movement.
struct Identity {
    double when = 0;
    double day = 0;
    double amount = 0;

    bool operator==(const Identity& other) const
    {
        const double oneMillisecond = 1.0 / 86400000.0;
        return std::abs(when - other.when) < oneMillisecond && std::abs(day - other.day) < oneMillisecond &&
               std::abs(amount - other.amount) < 0.005;
    }
};

Identity identityOf(ClientDataSet& rows)
{
    return {rows.fieldByName(QStringLiteral("DTHRINCMOV")).asDateTime(),
            rows.fieldByName(QStringLiteral("DTMOVIMCAIXA")).asDateTime(),
            rows.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat()};
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
