#include "StoreLimits.h"

#include "KioskError.h"
#include "MoneyRounding.h"

#include <cmath>

namespace StoreLimits
{

double money(double value, const QString& what)
{
    if (!std::isfinite(value))
        throw KioskError(QStringLiteral("%1 is not a finite amount").arg(what));
    // Beyond the range test MoneyRounding leaves huge values alone; they are refused just below.
    const double cents = MoneyRounding::roundTo2(value);
    if (std::fabs(cents) > maxMoney)
        throw KioskError(QStringLiteral("%1 of %2 is beyond what the store holds (at most %3)")
                             .arg(what, QString::number(value, 'g', 17), QString::number(maxMoney, 'f', 2)));
    return cents;
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
