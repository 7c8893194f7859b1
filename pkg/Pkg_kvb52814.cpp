// The loadable module's frame: what it exports under plain names. No logic here.
#include "Cli_kvb52814.h"
#include "ModuleInstances.h"
#include "PurchaseJournal.h"
#include "PurchaseRecovery.h"

extern "C" KVB_EXPORT void CriaRecSaldo(const QVariant& Consumidor)
{
    Cli_kvb52814::CriaRecSaldo(Consumidor);
}

// Settles the kiosk's purchase journal (run by the host at start, before the first
// screen): how many paid purchases are still unsettled afterwards, or -1 when the
// journal could not be settled at all (the store unreachable, for one).
extern "C" KVB_EXPORT int SettlePurchaseJournal()
{
    try {
        const QString file = PurchaseJournal::defaultFile();
        if (PurchaseJournal(file).unfinished().isEmpty())
            return 0;
        ModuleInstances::ServerSession session;
        int left = 0;
        for (const PurchaseSettlement::Result& r : PurchaseRecovery::settleJournal(file))
            left += r.outcome == PurchaseSettlement::Outcome::Unsettled ? 1 : 0;
        return left;
    } catch (const std::exception& e) {
        qCCritical(lcJournal).noquote() << "purchase journal not settled:" << e.what();
        return -1;
    }
}
