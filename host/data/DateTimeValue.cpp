#include "DateTimeValue.h"

#include "Clock.h"

#include <algorithm>
#include <cmath>

namespace {
const QDate epoch(1899, 12, 30);
constexpr double msPerDay = 86400000.0;
} // namespace

namespace DateTimeValue {

double fromDate(const QDate& d)
{
    return d.isValid() ? double(epoch.daysTo(d)) : 0.0;
}

double fromDateTime(const QDateTime& dt)
{
    // Only the wall-clock fields count. A local time that the machine's zone skips (the hour a
    // daylight-saving change jumps over) makes the QDateTime invalid, yet its date and time still
    // hold what was stored; the zone must not turn that into "no date".
    const QDate date = dt.date();
    const QTime time = dt.time();
    if (!date.isValid() || !time.isValid())
        return 0.0;
    return fromWallClock(date, time);
}

double fromWallClock(const QDate& date, const QTime& time)
{
    if (!date.isValid())
        return 0.0;
    const double day = fromDate(date);
    const double frac = (time.isValid() ? time.msecsSinceStartOfDay() : 0) / msPerDay;
    // Days before the epoch keep the time as a positive fraction of a negative day count.
    return day >= 0 ? day + frac : day - frac;
}

QDateTime toDateTime(double days)
{
    const double whole = std::trunc(days);
    const qint64 ms = std::llround(std::fabs(days - whole) * msPerDay);
    QDate d = epoch.addDays(qint64(whole));
    QTime t = QTime::fromMSecsSinceStartOfDay(int(ms % qint64(msPerDay)));
    if (ms >= qint64(msPerDay))
        d = d.addDays(1);
    return QDateTime(d, t, Qt::UTC);
}

double dateOnly(double days)
{
    return std::trunc(days);
}

double now()
{
    return fromDateTime(Clock::instance().now());
}

QString toIsoText(double days)
{
    return toDateTime(days).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss.zzz"));
}

bool parseIsoText(const QString& text, double* days)
{
    // Date and time are read apart, never as one local QDateTime: the text is a wall-clock
    // time and must read the same in every zone (also in an hour a daylight-saving change skips).
    QString t = text.trimmed();
    if (t.size() < 10)
        return false;
    const QDate date = QDate::fromString(t.left(10), QStringLiteral("yyyy-MM-dd"));
    if (!date.isValid())
        return false;
    if (t.size() == 10) {
        *days = fromDate(date);
        return true;
    }
    if (t[10] != QLatin1Char('T') && t[10] != QLatin1Char(' '))
        return false;
    t = t.mid(11);
    // A zone suffix is dropped: the store keeps wall-clock times.
    if (t.endsWith(QLatin1Char('Z')))
        t.chop(1);
    const qsizetype zone = std::max(t.indexOf(QLatin1Char('+')), t.indexOf(QLatin1Char('-')));
    if (zone > 0)
        t.truncate(zone);
    // The fraction of a second, of any length, is kept to milliseconds (PostgreSQL gives up to six
    // digits and drops trailing zeros).
    int ms = 0;
    const qsizetype dot = t.indexOf(QLatin1Char('.'));
    if (dot > 0) {
        const QString fraction = t.mid(dot + 1);
        if (fraction.isEmpty() || fraction.size() > 9 ||
            std::any_of(fraction.begin(), fraction.end(), [](QChar c) { return !c.isDigit(); }))
            return false;
        ms = fraction.left(3).leftJustified(3, QLatin1Char('0')).toInt();
        t.truncate(dot);
    }
    for (const char* f : {"HH:mm:ss", "HH:mm"}) {
        const QTime time = QTime::fromString(t, QString::fromLatin1(f));
        if (time.isValid()) {
            *days = fromWallClock(date, time.addMSecs(ms));
            return true;
        }
    }
    return false;
}

} // namespace DateTimeValue
