#pragma once

#include <QString>

// How a line of a printed slip is laid out on a receipt printer of `width` columns.
namespace ReceiptLayout
{
// Amounts read the way the kiosk shows them (its locale's decimal separator).
QString money(double value);
// The text in the middle of the line (cut to the width).
QString centred(const QString& text, int width);
// The label at the left, the value at the right.
QString pair(const QString& label, const QString& value, int width);
} // namespace ReceiptLayout
