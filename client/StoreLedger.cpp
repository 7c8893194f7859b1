#include "StoreLedger.h"

#include "ClientDataSet.h"
#include "KioskError.h"
#include "PurchaseJournal.h"
#include "Srv_kvb52814.h"

#include <cmath>

namespace {
DataPacket movements(const QString& nsu, const QString& branch, const QString& till)
{
    const QVariant result = Srv_kvb52814::getMovCaixaNsu(branch, till, nsu);
    if (!PacketVariant::isPacket(result))
        throw KioskError(QStringLiteral("getMovCaixaNsu: ") + result.toString());
    return PacketVariant::packet(result);
}

// Time of the movement and amount of the first row of a packet.
struct Identity
{
    double when = 0;
    double amount = 0;
};
Identity identityOf(const DataPacket& packet)
{
    ClientDataSet rows(QStringLiteral("cdsLedgerIdentity"));
    rows.setData(packet);
    rows.first();
    return {rows.fieldByName(QStringLiteral("DTHRINCMOV")).asDateTime(),
            rows.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat()};
}
} // namespace

bool StoreLedger::hasMovement(const QString& nsu, const QString& branch, const QString& till)
{
    return !movements(nsu, branch, till).rows().isEmpty();
}

bool StoreLedger::holds(const PurchaseRecord& purchase)
{
    const DataPacket stored = movements(purchase.nsu, purchase.CDFILIAL, purchase.CDCAIXA);
    if (stored.rows().isEmpty())
        return false;
    const Identity mine = identityOf(purchase.packet);
    const Identity theirs = identityOf(stored);
    const double oneMillisecond = 1.0 / 86400000.0;
    const bool same = std::abs(mine.when - theirs.when) < oneMillisecond && std::abs(mine.amount - theirs.amount) < 0.005;
    if (!same)
        qCWarning(lcJournal).noquote() << "NSU" << purchase.nsu << "of till" << purchase.CDCAIXA
                                       << "is held by an earlier purchase in the store; this one is not recorded";
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
