#pragma once

#include <QString>

// What the consumer is told about a card purchase beyond the message table. Each
// text is short (it fits the kiosk's message box), says what happened and whether
// the card was charged, and names no technical detail: errors of the store, the
// terminal or the printer go to the log only. Portuguese is the source; the
// kiosk's translation gives the others.
namespace PurchaseTexts
{
// Nothing was asked of the terminal: the purchase could not be started.
QString notStarted();
// The terminal (or the card's issuer) did not approve the payment.
QString terminalRefused();
// The terminal could not be reached or did not answer; no charge stands.
QString terminalUnreachable();
// The card type panel was closed.
QString cancelled();
// The credit was recorded (the new balance shows).
QString recorded();
// The credit was recorded, after a failed first attempt.
QString recordedLate();
// The credit could not be recorded and the card charge was cancelled.
QString undone();
// Neither recorded nor cancelled yet: the settlement finishes it; staff can help.
QString unsettled();
// The receipt could not be printed; `creditRecorded` tells whether the credit stands
// (then the charge stands too) or the purchase was cancelled (the card not charged).
QString printerFailed(bool creditRecorded);
// The consumer did not answer in time: nothing was charged.
QString timedOut();
// The recording's progress while it retries.
QString recordingAttempt(int attempt, int attempts);
} // namespace PurchaseTexts
