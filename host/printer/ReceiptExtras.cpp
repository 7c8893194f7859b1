#include "ReceiptExtras.h"

#include <QMutex>

#include <utility>

namespace
{
QMutex extrasLock;
Wst00001::ReceiptExtras pending;
} // namespace

namespace Wst00001
{

void setReceiptExtras(const ReceiptExtras& extras)
{
    const QMutexLocker locker(&extrasLock);
    pending = extras;
}

ReceiptExtras takeReceiptExtras()
{
    const QMutexLocker locker(&extrasLock);
    return std::exchange(pending, {});
}

} // namespace Wst00001
