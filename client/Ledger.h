#pragma once

#include "ModuleExport.h"

#include <QString>

struct PurchaseRecord;

// The store's side of a paid purchase, as the settlement of the purchase journal sees it.
class KVB_EXPORT Ledger
{
public:
    virtual ~Ledger();
    // Whether the store holds a cash movement with this NSU for the branch and till, on any
    // movement date. Throws KioskError when the store cannot answer.
    virtual bool hasMovement(const QString& nsu, const QString& branch, const QString& till) = 0;
    // The same on one movement date: networks number NSUs per day and reuse them, so only the
    // date tells a purchase from an earlier one with the same NSU.
    virtual bool hasMovement(const QString& nsu, const QString& branch, const QString& till, double movementDate)
    {
        (void)movementDate;
        return hasMovement(nsu, branch, till);
    }
    // Whether the store holds THIS purchase: a movement with its NSU on its till and movement
    // date that is also its own (same amount and time of the movement), not another purchase's
    // whose NSU a terminal handed out again. Throws KioskError when the store cannot answer.
    virtual bool holds(const PurchaseRecord& purchase);
    // Records the purchase (cash movement, fiscal document, statement line, balances).
    // Empty on success, the failure's text otherwise; never throws.
    virtual QString record(const PurchaseRecord& purchase) = 0;
};
