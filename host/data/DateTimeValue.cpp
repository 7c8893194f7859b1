#include "DateTimeValue.h"

#include "Clock.h"

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
    if (!dt.isValid())
        return 0.0;
    const double day = fromDate(dt.date());
    const double frac = dt.time().msecsSinceStartOfDay() / msPerDay;
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
    QString t = text.trimmed();
    if (t.isEmpty())
        return false;
    t.replace(QLatin1Char('T'), QLatin1Char(' '));
    if (t.endsWith(QLatin1Char('Z')))
        t.chop(1);
    const int plus = t.indexOf(QLatin1Char('+'), 10);
    if (plus > 0)
        t.truncate(plus);
    static const char* const formats[] = {"yyyy-MM-dd HH:mm:ss.zzz", "yyyy-MM-dd HH:mm:ss", "yyyy-MM-dd HH:mm",
                                          "yyyy-MM-dd"};
    for (const char* f : formats) {
        const QDateTime dt = QDateTime::fromString(t, QString::fromLatin1(f));
        if (dt.isValid()) {
            *days = fromDateTime(dt);
            return true;
        }
    }
    // More than three fractional digits (PostgreSQL microseconds): keep milliseconds.
    const int dot = t.lastIndexOf(QLatin1Char('.'));
    if (dot > 0 && t.size() - dot > 4)
        return parseIsoText(t.left(dot + 4), days);
    return false;
}

} // namespace DateTimeValue
