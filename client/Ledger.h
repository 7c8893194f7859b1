#pragma once

#include "ModuleExport.h"
#include "Money.h"

#include <QString>

struct PurchaseRecord;
struct PendingTransaction;

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
    // Whether the store holds the credit of a card charge only the terminal knows (the journal
    // lost it, or its kiosk died before writing the approval), on the terminal's evidence: a
    // movement of the till with its NSU and amount, made when it was approved. A movement of
    // another purchase under the same NSU is not it. Throws KioskError when the store cannot
    // answer, or when this ledger cannot weigh that evidence.
    virtual bool holdsCharge(const QString& branch, const QString& till, const PendingTransaction& charge);
    // Whether a movement (its time and amount) can be the credit of a charge the terminal
    // approved: the same amount, stamped by the kiosk right after the approval (a minute before
    // allows for the terminal's clock, five after for a slow kiosk).
    static bool isChargeMovement(double when, Money amount, const PendingTransaction& charge);
    static constexpr int chargeMovementBeforeS = 60;
    static constexpr int chargeMovementAfterS = 5 * 60;
    // Records the purchase (cash movement, fiscal document, statement line, balances).
    // Empty on success, the failure's text otherwise; never throws.
    virtual QString record(const PurchaseRecord& purchase) = 0;
    // Evolves the consumer's balances on the branch when they disagree with their statement
    // lines (a recording committed, its balance evolution never ran); how many balances were
    // behind. Throws KioskError when the store cannot answer or the evolution fails.
    virtual int evolveStaleBalances(const QString& client, const QString& consumer, const QString& branch)
    {
        (void)client;
        (void)consumer;
        (void)branch;
        return 0;
    }
};
