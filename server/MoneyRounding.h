#pragma once

// Amounts go to the statement rounded to cents the way the kiosk writes them as
// text: at most 15 significant digits, then two decimals, a half rounding away from zero.
namespace MoneyRounding {
double roundTo2(double value);
}
