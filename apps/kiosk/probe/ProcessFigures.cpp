#include "ProcessFigures.h"

#include <QFile>
#include <QList>
#include <sys/resource.h>
#include <time.h>
#include <unistd.h>

namespace {
qint64 statusKb(const char* key)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray prefix = QByteArray(key) + ':';
    for (const QByteArray& line : f.readAll().split('\n')) {
        if (line.startsWith(prefix))
            return line.mid(prefix.size()).trimmed().split(' ').value(0).toLongLong();
    }
    return -1;
}

qint64 clockNanoseconds(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
} // namespace

namespace ProcessFigures {
qint64 monotonicNanoseconds()
{
    return clockNanoseconds(CLOCK_MONOTONIC);
}

double millisecondsSinceLaunch()
{
    bool ok = false;
    const qint64 launch = qEnvironmentVariable("KIOSK_LAUNCH_NS").toLongLong(&ok);
    if (ok)
        return double(monotonicNanoseconds() - launch) / 1e6;
    // Field 22 of /proc/self/stat: start time in clock ticks since boot. The command
    // name (field 2) is in parentheses and may hold spaces: count after its ')'.
    QFile f(QStringLiteral("/proc/self/stat"));
    if (!f.open(QIODevice::ReadOnly))
        return -1;
    const QByteArray stat = f.readAll();
    const QList<QByteArray> fields = stat.mid(stat.lastIndexOf(')') + 2).split(' ');
    const double startSeconds = fields.value(19).toDouble() / double(sysconf(_SC_CLK_TCK));
    return (double(clockNanoseconds(CLOCK_BOOTTIME)) / 1e9 - startSeconds) * 1000.0;
}

qint64 residentKb()
{
    return statusKb("VmRSS");
}

qint64 peakResidentKb()
{
    return statusKb("VmHWM");
}

double cpuMilliseconds()
{
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const auto ms = [](const timeval& t) { return double(t.tv_sec) * 1000.0 + double(t.tv_usec) / 1000.0; };
    return ms(usage.ru_utime) + ms(usage.ru_stime);
}
} // namespace ProcessFigures
