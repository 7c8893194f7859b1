#pragma once

#include "Money.h"

#include <QString>

// How a line of a printed slip is laid out on a receipt printer of `width` columns.
namespace ReceiptLayout
{
// A text from the store or the terminal as one printable run: every control character
// (a line feed too, which would start a line of the sender's making) becomes a blank, so
// printer commands (ESC p: open the drawer, GS V: cut) and forged lines never reach paper.
QString printable(const QString& text);
// The whole slip: control characters dropped, the line feeds between lines kept.
QString withoutControls(const QString& text);
// Amounts read the way the kiosk shows them: "###0.00" with its locale's decimal separator.
QString money(Money value);
// The text in the middle of the line (cut to the width).
QString centred(const QString& text, int width);
// The label at the left, the value at the right.
QString pair(const QString& label, const QString& value, int width);
} // namespace ReceiptLayout
