#pragma once

#include "TrdmRecSaldo.h"

#include <QString>
#include <QVariant>
#include <functional>

class TdtmZelProxCodigo;

// The shape a recording and a reversal share: numbers reserved from the host's generator, one
// transaction over the writes, the balances brought up to date after the commit, and any failure
// rolled back and handed back as the result's text, never raised.
namespace CreditTransaction
{
// Runs the server function `function` (its name, for the log): `work` returns its result; a
// failure rolls back whatever transaction is open and its text becomes the result.
QVariant run(const char* function, const std::function<QVariant(TrdmRecSaldo&)>& work);

// A number from a fresh generator (released right after). A failed request abandons the call at
// once: there is no number to write, and carrying on would fail later with a less telling message
// or commit rows with a number missing. Its result is the generator's failure text.
QString reserveNumber(TrdmRecSaldo& dm, const std::function<QString(TdtmZelProxCodigo&)>& request);

// After the commit, what was written is in the store; what follows only brings the consumer's
// balances up to date from their earliest statement line. A failure is retried once; if it
// persists the result is `committed` (which says the writes stand, so nobody charges or reverses
// again) and the cause, and the next evolution (the screen's, or kioskctl evolve) repairs them.
QVariant evolveAfterCommit(TrdmRecSaldo& dm, const char* function, const QString& committed, const QString& client,
                           const QString& consumer, const QString& branch);
} // namespace CreditTransaction
