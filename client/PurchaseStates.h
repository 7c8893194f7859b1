#pragma once

#include "ModuleExport.h"

#include <QObject>
#include <QString>
#include <optional>

// Where a card purchase stands, in memory and in the purchase journal alike. In order:
//   Ordered     confirmed by the consumer; the terminal not asked yet
//   Charging    the terminal is asked; the card may be charged from here on
//   Authorised  the terminal approved: the card is charged, pending
//   Printed     the receipt went to the printer
//   Recording   the store is asked to record the purchase
//   Recorded    the store committed it
//   Confirming  the terminal is told to settle it
//   Undoing     it cannot be recorded: the terminal is told to cancel it
// and the three ends: Confirmed (settled with the bank), Undone (cancelled, nothing
// credited) and Declined (the terminal never charged the card).
namespace PurchaseStates
{
Q_NAMESPACE_EXPORT(KVB_EXPORT)
enum class State { Ordered, Charging, Authorised, Printed, Recording, Recorded, Confirming, Undoing, Confirmed, Undone, Declined };
Q_ENUM_NS(State)

// The one table of the purchase's life: whether `to` may follow `from`. Staying in a
// state (a fuller snapshot, a note) is allowed until the purchase has ended.
KVB_EXPORT bool allowed(State from, State to);
KVB_EXPORT bool finished(State state);
// The card holder's money may be held by the terminal: the purchase must be settled.
KVB_EXPORT bool paid(State state);
// The journal's name of a state ("authorised", "recorded"...).
KVB_EXPORT QString name(State state);
KVB_EXPORT std::optional<State> fromName(const QString& name);
} // namespace PurchaseStates

using PurchaseState = PurchaseStates::State;
