#pragma once

#include "ModuleExport.h"

#include <QString>

struct PurchaseRecord;

// The store's side of a paid purchase, as the settlement of the purchase journal sees it.
class KVB_EXPORT Ledger
{
public:
    virtual ~Ledger();
    // Whether the store holds a cash movement with this NSU for the branch and till.
    // Throws KioskError when the store cannot answer.
    virtual bool hasMovement(const QString& nsu, const QString& branch, const QString& till) = 0;
    // Whether the store holds THIS purchase: a movement with its NSU on its till that is
    // also its own (same time of the movement and amount), not an earlier purchase's whose
    // NSU a terminal handed out again. Throws KioskError when the store cannot answer.
    virtual bool holds(const PurchaseRecord& purchase);
    // Records the purchase (cash movement, fiscal document, statement line, balances).
    // Empty on success, the failure's text otherwise; never throws.
    virtual QString record(const PurchaseRecord& purchase) = 0;
};
