#pragma once

#include "HostExport.h"

#include <QString>

// The one place where a card number is made fit to keep or show. The result is
// at most 10 characters (the width of the cash movement's card field) and shows
// at most the first four and the last four digits:
//   13 or more digits  first 4, "**", last 4       "4111111111111111" -> "4111**1111"
//   10 to 12 digits    first 4, "*" filling, last 4 "1234567890"       -> "1234**7890"
//   5 to 9 digits      "*" for all but the last 4   "123456789"        -> "*****6789"
//   4 or fewer         all "*"
// Blanks, dashes and dots between digit groups are dropped; a "*" already in the
// text counts as a hidden digit, so masking a masked number changes nothing.
namespace CardNumberMask
{
HOST_EXPORT QString mask(const QString& cardNumber);
// A free text (a terminal's message, a receipt) with every run of 13 to 19 digits that
// could be a card number (single blanks or dashes between groups allowed) masked as above.
HOST_EXPORT QString maskWithin(const QString& text);
constexpr int fieldWidth = 10;
} // namespace CardNumberMask
