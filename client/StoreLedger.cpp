#include "StoreLedger.h"

#include "KioskError.h"
#include "PurchaseJournal.h"
#include "Srv_kvb52814.h"

bool StoreLedger::hasMovement(const QString& nsu, const QString& branch, const QString& till)
{
    const QVariant result = Srv_kvb52814::getMovCaixaNsu(branch, till, nsu);
    if (!PacketVariant::isPacket(result))
        throw KioskError(QStringLiteral("getMovCaixaNsu: ") + result.toString());
    return !PacketVariant::packet(result).rows().isEmpty();
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
