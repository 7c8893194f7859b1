#pragma once

#include "HostExport.h"

#include <QString>

namespace Wst00001
{

// Whether any byte of the last credit receipt went out to its printer: true once a
// receipt printed, and after a failure that cut it short (the consumer may hold part
// of it); false when the printer failed before taking anything, or before any
// receipt was printed. A receipt that never reached the printer is in nobody's
// hands: no cancellation slip is owed for it.
HOST_EXPORT bool receiptReachedPrinter();

namespace ReceiptDelivery
{
// A receipt is being printed: until it is noted, nothing of it has reached the printer.
void receiptStarted();
// Kept by the receipt printing: how the receipt of card transaction `nsu` on printer
// `port` (the name receiptPort() gives) ended.
void noteReceipt(const QString& port, const QString& nsu, bool reachedPrinter);
// True only when this process tried to print that receipt and nothing of it went out.
bool neverReachedPrinter(const QString& port, const QString& nsu);
} // namespace ReceiptDelivery

} // namespace Wst00001
