#include "ModuleInstances.h"

#include "CouponCounters.h"
#include "DataPacket.h"
#include "KioskError.h"
#include "ModuleState.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TrdmRecSaldo.h"

namespace ModuleInstances
{
namespace detail
{
bool running = false;
}
using detail::running;

namespace
{
// While the module's data module lives, the printer package's coupon counters can fall back on
// the store: a lost or damaged counters file continues from the till's highest recorded numbers.
CouponCounters::Values storeCouponFloor(const CouponCounters::Owner& owner)
{
    const QVariant answer = Srv_kvb52814::getMaiorCupom(owner.branch, owner.till, owner.serial);
    if (!PacketVariant::isPacket(answer))
        throw KioskError(QStringLiteral("the store's highest coupon numbers of branch %1, till %2 cannot be read: %3")
                             .arg(owner.branch, owner.till, answer.toString()));
    const DataPacket highest = PacketVariant::packet(answer);
    CouponCounters::Values v;
    if (!highest.rows().isEmpty()) {
        const QVariantList& row = highest.rows().first();
        v.coo = row.value(highest.fieldIndex(QStringLiteral("NRCOODOCNFIS"))).toString().trimmed().toLongLong();
        v.gnf = row.value(highest.fieldIndex(QStringLiteral("NRGNFDOCNFIS"))).toString().trimmed().toLongLong();
    }
    return v;
}
} // namespace

namespace detail
{
void lendStoreToPrinter(bool lend)
{
    if (lend)
        CouponCounters::setStoreFloor(storeCouponFloor);
    else
        CouponCounters::setStoreFloor({});
}
} // namespace detail

ServerSession::ServerSession()
{
    if (running)
        throw KioskError(QStringLiteral("the recharge screen is open: its data module cannot be replaced"));
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = new TrdmRecSaldo(nullptr);
    try {
        Srv_kvb52814::rdmRecSaldo->adcRecSaldo->open();
    } catch (...) {
        delete Srv_kvb52814::rdmRecSaldo;
        Srv_kvb52814::rdmRecSaldo = nullptr;
        throw;
    }
    detail::lendStoreToPrinter(true);
}

ServerSession::~ServerSession()
{
    detail::lendStoreToPrinter(false);
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = nullptr;
}

TrdmRecSaldo& ServerSession::dataModule()
{
    return *Srv_kvb52814::rdmRecSaldo;
}

bool entryRunning()
{
    return running;
}

TrdmRecSaldo& dataModule()
{
    if (!Srv_kvb52814::rdmRecSaldo)
        Srv_kvb52814::rdmRecSaldo = new TrdmRecSaldo(nullptr);
    return *Srv_kvb52814::rdmRecSaldo;
}

} // namespace ModuleInstances
