#pragma once

#include "ModuleExport.h"
#include "Money.h"

#include <QString>

// How the screen writes amounts: the typed digits with implied cents, and money
// values with the pattern "###0.00" and the kiosk's decimal separator.
namespace AmountText {
// "" for no digits, "0,05" for "5", "0,12" for "12", "00,05" for "0005": every digit
// typed stays, the last two are the cents.
KVB_EXPORT QString fromDigits(const QString& digits, QChar separator);
// At least one integer digit, no thousands separator, two decimals, a leading minus.
KVB_EXPORT QString money(Money value, QChar separator);
// A balance as the store gives it (a binary number), rounded to cents by Money::fromUnits;
// empty for what no store column holds (not a number, beyond NUMERIC(15,2)).
KVB_EXPORT QString money(double value, QChar separator);
// The kiosk locale's decimal separator.
KVB_EXPORT QChar separator();
} // namespace AmountText
