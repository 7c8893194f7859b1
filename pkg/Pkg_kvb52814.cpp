// The loadable module's frame: what it exports under plain names. No logic here.
#include "Cli_kvb52814.h"
#include "ModuleInstances.h"
#include "PaymentTerminal.h"
#include "PurchaseJournal.h"
#include "PurchaseRecovery.h"
#include "Wst00001.h"

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
        // Only what is open costs anything here: the journal's open purchases and the
        // terminal's pending transactions, whatever the history.
        if (PurchaseJournal(file).unfinished().isEmpty() && Wst00001::paymentTerminal().pending().isEmpty())
            return 0;
        ModuleInstances::ServerSession session;
        int left = 0;
        for (const PurchaseSettlement::Result& r : PurchaseRecovery::settleJournal(file))
            left += PurchaseSettlement::leavesWork(r.outcome) ? 1 : 0;
        return left;
    } catch (const std::exception& e) {
        qCCritical(lcJournal).noquote() << "purchase journal not settled:" << e.what();
        return -1;
    }
}
