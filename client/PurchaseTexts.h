#pragma once

#include <QString>

// What the consumer is told about a card purchase beyond the message table: the
// terminal's refusal, the outcomes after the card was charged and the recording's
// retries. Portuguese is the source; the kiosk's translation gives the others.
namespace PurchaseTexts
{
QString terminalRefused();
QString notStarted();
QString cancelled();
QString undone();
QString recordedLate();
QString unsettled();
QString recordingAttempt(int attempt, int attempts);
} // namespace PurchaseTexts
