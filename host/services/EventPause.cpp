#include "EventPause.h"

#include <QEventLoop>
#include <QTimer>

namespace EventPause
{
void forMs(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, Qt::PreciseTimer, &loop, &QEventLoop::quit);
    loop.exec();
}
} // namespace EventPause
