#include "EventWait.h"

#include "Clock.h"

#include <QEventLoop>
#include <QTimer>

namespace EventWait {

void until(const std::function<bool()>& done)
{
    QEventLoop loop;
    while (!done())
        loop.processEvents(QEventLoop::WaitForMoreEvents);
}

void forMs(qint64 ms, const std::function<bool()>& stopEarly)
{
    const QDateTime start = Clock::instance().now();
    auto remaining = [&] { return ms - start.msecsTo(Clock::instance().now()); };
    // Wakes the loop when the time is up; re-armed after every event, because an
    // event handler may have moved the clock or taken part of the time.
    QTimer deadline;
    deadline.setSingleShot(true);
    deadline.setTimerType(Qt::PreciseTimer);
    QEventLoop loop;
    while (remaining() > 0 && !(stopEarly && stopEarly())) {
        deadline.start(int(qBound(qint64(0), remaining(), qint64(24 * 3600 * 1000))));
        loop.processEvents(QEventLoop::WaitForMoreEvents);
    }
}

} // namespace EventWait
