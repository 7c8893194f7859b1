#include "MoneyRounding.h"

#include <QString>
#include <cmath>

namespace MoneyRounding {
double roundTo2(double value)
{
    if (!std::isfinite(value) || value == 0.0)
        return value;
    // value == mantissa (15 digits) * 10^(exponent - 14)
    const QString e = QString::number(std::fabs(value), 'e', 14);
    const int at = int(e.indexOf(QLatin1Char('e')));
    QString digits = e.left(at);
    digits.remove(QLatin1Char('.'));
    const qint64 mantissa = digits.toLongLong();
    const int exponent = e.mid(at + 1).toInt();
    const int shift = exponent - 12; // scale to cents
    qint64 centsValue;
    if (shift >= 0) {
        if (shift > 4)
            return value; // beyond 10^17 cents there is nothing to round
        centsValue = mantissa;
        for (int i = 0; i < shift; ++i)
            centsValue *= 10;
    } else if (-shift > 16) {
        centsValue = 0;
    } else {
        qint64 div = 1;
        for (int i = 0; i < -shift; ++i)
            div *= 10;
        centsValue = mantissa / div;
        if ((mantissa % div) * 2 >= div)
            ++centsValue; // half away from zero
    }
    const double r = double(centsValue) / 100.0;
    return value < 0 ? -r : r;
}
} // namespace MoneyRounding
