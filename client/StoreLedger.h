#pragma once

#include "Ledger.h"
#include "ModuleExport.h"

// The store database as the purchase journal's ledger, through the module's own
// server functions on the open data module: the look-up of a till's movement by
// NSU, and the recording the purchase flow runs.
class KVB_EXPORT StoreLedger : public Ledger
{
public:
    bool hasMovement(const QString& nsu, const QString& branch, const QString& till) override;
    bool holds(const PurchaseRecord& purchase) override;
    QString record(const PurchaseRecord& purchase) override;
};
