#pragma once

#include "ModuleExport.h"
#include "Money.h"

#include <QByteArray>
#include <QDate>
#include <QList>
#include <QString>

class SqlConnection;

// A till's day checked end to end: every card credit the store holds (statement line and cash
// movement) against the card transactions the terminal confirmed (the terminal's own list, and
// the kiosk's journal for what the consumer chose). A credit line the store holds with no cash
// movement under it is what a forged line looks like.
namespace DailyReconciliation
{
// A credit line of the store, with its cash movement when it has one.
struct StoreCredit {
    QString client, consumer, family;
    QString line; // statement time and line number
    Money lineAmount;
    bool hasMovement = false;
    QString movement, nsu;
    Money movementAmount;
    bool reversed = false; // a reversal movement of the same NSU and day stands against it
    QDate day;             // the movement's date, else the line's
};

// A card transaction the terminal confirmed (or the journal says it did).
struct CardPayment {
    QString nsu;
    Money amount;
    QString family; // the family the consumer chose, from the journal; empty when unknown
    QDate day;
};

enum class Kind { CreditWithoutPayment, PaymentWithoutCredit, AmountMismatch, FamilyMismatch, LineWithoutMovement };
KVB_EXPORT QString kindName(Kind kind);

struct KVB_EXPORT Finding {
    Kind kind;
    QString nsu;
    StoreCredit credit;  // empty for a payment without credit
    CardPayment payment; // empty for a credit without payment
    QString text() const;
};

struct KVB_EXPORT Report {
    QString branch, till;
    QDate day;
    int credits = 0;  // credit lines of the day (reversed ones included)
    int payments = 0; // confirmed card transactions of the day
    QList<Finding> findings;

    bool agrees() const { return findings.isEmpty(); }
    QString text() const;
    QByteArray json() const;
};

// Matches by NSU the credits and payments of `day` (each list may reach a day either side, so
// a purchase settled after midnight still meets its other half).
KVB_EXPORT QList<Finding> match(const QList<StoreCredit>& credits, const QList<CardPayment>& payments, QDate day);

// The whole check for the till: the store through `store`, the terminal's transactions file and
// the purchase journal (either may be missing).
KVB_EXPORT Report run(SqlConnection& store, const QString& branch, const QString& till, QDate day,
                      const QString& terminalFile, const QString& journalFile);
} // namespace DailyReconciliation
