#include "PurchaseRecovery.h"

#include "StoreLedger.h"
#include "Wst00001.h"

namespace PurchaseRecovery
{

QList<PurchaseSettlement::Result> settleJournal(const QString& journalFile)
{
    PurchaseJournal journal(journalFile);
    StoreLedger ledger;
    PurchaseSettlement settlement(journal, ledger, Wst00001::paymentTerminal());
    const QList<PurchaseSettlement::Result> results = settlement.settleAll();
    for (const auto& r : results)
        qCInfo(lcJournal).noquote() << "settled purchase" << r.nsu << ":" << PurchaseSettlement::outcomeName(r.outcome)
                                    << r.text;
    return results;
}

} // namespace PurchaseRecovery
