#include "ReceiptDelivery.h"

#include <QMutex>
#include <QSet>

namespace
{
QMutex deliveryLock;
bool lastReached = false;
// Receipts that failed before their first byte: few, one per failed print.
QSet<QString> undelivered;

QString keyOf(const QString& port, const QString& nsu)
{
    return port + QLatin1Char('\n') + nsu;
}
} // namespace

namespace Wst00001
{

bool receiptReachedPrinter()
{
    const QMutexLocker locker(&deliveryLock);
    return lastReached;
}

namespace ReceiptDelivery
{
void receiptStarted()
{
    const QMutexLocker locker(&deliveryLock);
    lastReached = false;
}

void noteReceipt(const QString& port, const QString& nsu, bool reachedPrinter)
{
    const QMutexLocker locker(&deliveryLock);
    lastReached = reachedPrinter;
    if (reachedPrinter)
        undelivered.remove(keyOf(port, nsu));
    else
        undelivered.insert(keyOf(port, nsu));
}

bool neverReachedPrinter(const QString& port, const QString& nsu)
{
    const QMutexLocker locker(&deliveryLock);
    return undelivered.contains(keyOf(port, nsu));
}
} // namespace ReceiptDelivery

} // namespace Wst00001
