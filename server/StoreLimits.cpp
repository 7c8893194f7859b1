#include "StoreLimits.h"

#include "KioskError.h"

#include <cmath>

namespace StoreLimits
{

Money money(double value, const QString& what)
{
    return Money::fromUnits(value, what);
}

Money credit(double value, const QString& what)
{
    const Money cents = money(value, what);
    const QString shown = QString::number(value, 'g', 15);
    // value * 100 carries the error of the binary fraction (and of the product): far below a
    // thousandth of a cent for any amount the store holds, so a typed 12.34 passes and 0.004 does not.
    const double hundredths = value * 100.0;
    const double slack = 1e-6 + 2 * std::fabs(std::nextafter(hundredths, 0.0) - hundredths);
    if (std::fabs(hundredths - std::nearbyint(hundredths)) > slack)
        throw KioskError(QStringLiteral("%1 of %2 is not a whole number of cents").arg(what, shown));
    if (cents <= Money())
        throw KioskError(QStringLiteral("%1 of %2 is not a positive amount").arg(what, shown));
    return cents;
}

void noNul(const QString& value, const QString& what, const QString& shown)
{
    if (value.contains(QChar(0))) {
        QString visible = shown;
        visible.replace(QChar(0), QLatin1String("\\0"));
        throw KioskError(QStringLiteral("%1 \"%2\" holds a NUL character").arg(what, visible));
    }
}

double quotation(double value, const QString& what)
{
    if (!std::isfinite(value))
        throw KioskError(QStringLiteral("%1 is not a finite number").arg(what));
    const double rounded = std::round(value * 1e6) / 1e6;
    if (std::fabs(rounded) >= 1e9)
        throw KioskError(QStringLiteral("%1 of %2 is beyond what the store holds (below 1000000000)")
                             .arg(what, QString::number(value, 'g', 17)));
    return value;
}

void text(const QString& value, int width, const QString& what)
{
    if (value.size() > width)
        throw KioskError(
            QStringLiteral("%1 has %2 characters; the store holds at most %3").arg(what).arg(value.size()).arg(width));
}

} // namespace StoreLimits
