#pragma once

#include "Ledger.h"
#include "ModuleExport.h"

// The store database as the purchase journal's ledger, through the module's own
// server functions on the open data module: the look-up of a till's movement by
// NSU and movement date, and the recording the purchase flow runs. A credit's
// reversal carries the credit's NSU but is never taken for the purchase itself. It also
// evolves balances a crash left behind their statement lines.
class KVB_EXPORT StoreLedger : public Ledger
{
public:
    bool hasMovement(const QString& nsu, const QString& branch, const QString& till) override;
    bool hasMovement(const QString& nsu, const QString& branch, const QString& till, double movementDate) override;
    bool holds(const PurchaseRecord& purchase) override;
    bool holdsCharge(const QString& branch, const QString& till, const PendingTransaction& charge) override;
    QString record(const PurchaseRecord& purchase) override;
    int evolveStaleBalances(const QString& client, const QString& consumer, const QString& branch) override;
};
