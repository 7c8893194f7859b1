#pragma once

#include "Money.h"

#include <QString>

// What the store's columns can hold, checked before a recording writes anything (not even a
// reserved number), so that every engine refuses the same values with the same text. The
// schemas enforce the same limits as a last guard.
namespace StoreLimits
{
// Largest amount a NUMERIC(15,2) column holds.
constexpr Money maxMoney = Money::fromCents(Money::maxCents);

// The amount in cents as the store keeps it (rounded by Money::fromUnits, the one rounding of
// a binary amount); refuses a value that is not a finite number or whose rounded value does
// not fit NUMERIC(15,2). `what` names the value in the text.
Money money(double value, const QString& what);
// The same for a NUMERIC(15,6) quotation: finite and below 10^9 once rounded to 6 decimals.
double quotation(double value, const QString& what);
// A credit's amount: what money() refuses, and also an amount that is not positive or not a
// whole number of cents (no card is charged fractions of a cent). Returns the amount in cents.
Money credit(double value, const QString& what);
// Refuses a text holding a NUL character: engines and drivers cut it there or refuse it, each
// in its own way. `shown` is what the failure quotes (a card number masked, say).
void noNul(const QString& value, const QString& what, const QString& shown);
// Refuses a text with more characters than its column holds. The text itself is not quoted
// in the failure: it may be long, or a card's number.
void text(const QString& value, int width, const QString& what);
} // namespace StoreLimits
