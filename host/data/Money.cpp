#include "Money.h"

#include "KioskError.h"

#include <cmath>

namespace
{
constexpr qint64 power10(int n)
{
    qint64 p = 1;
    while (n-- > 0)
        p *= 10;
    return p;
}

// Digits into a magnitude in cents; nothing past maxCents (checked digit by digit: no overflow).
std::optional<qint64> magnitude(QStringView digits, int scale)
{
    qint64 value = 0;
    for (const QChar c : digits) {
        value = value * 10 + (c.unicode() - '0');
        if (value > Money::maxCents)
            return std::nullopt;
    }
    if (value > Money::maxCents / power10(scale))
        return std::nullopt;
    return value * power10(scale);
}

bool allDigits(QStringView text)
{
    for (const QChar c : text)
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            return false;
    return true;
}
} // namespace

std::optional<Money> Money::fromDigits(QStringView digits)
{
    qsizetype n = 0;
    while (n < digits.size() && digits[n] >= QLatin1Char('0') && digits[n] <= QLatin1Char('9'))
        ++n;
    const std::optional<qint64> cents = magnitude(digits.left(n), 0);
    if (!cents)
        return std::nullopt;
    return Money(*cents);
}

std::optional<Money> Money::fromUnits(double units)
{
    if (!std::isfinite(units))
        return std::nullopt;
    if (units == 0)
        return Money(); // -0.0 too
    // |units| == mantissa (15 digits) * 10^(exponent - 14), as the amount would be written.
    const QString e = QString::number(std::fabs(units), 'e', 14);
    const qsizetype at = e.indexOf(QLatin1Char('e'));
    QString digits = e.left(at);
    digits.remove(QLatin1Char('.'));
    const qint64 mantissa = digits.toLongLong();
    const int shift = e.mid(at + 1).toInt() - 12; // the power of ten that scales the mantissa to cents
    qint64 cents = 0;
    if (shift > 0) // 10^13 or more
        return std::nullopt;
    if (shift > -17) { // below that even a half cent is out of reach
        const qint64 divisor = power10(-shift);
        cents = mantissa / divisor;
        if ((mantissa % divisor) * 2 >= divisor)
            ++cents; // half away from zero
    }
    if (cents > maxCents)
        return std::nullopt;
    return Money(units < 0 ? -cents : cents);
}

Money Money::fromUnits(double units, const QString& what)
{
    if (!std::isfinite(units))
        throw KioskError(QStringLiteral("%1 is not a finite amount").arg(what));
    const std::optional<Money> money = fromUnits(units);
    if (!money)
        throw KioskError(QStringLiteral("%1 of %2 is beyond what the store holds (at most %3)")
                             .arg(what, QString::number(units, 'g', 17), fromCents(maxCents).text()));
    return *money;
}

std::optional<Money> Money::parse(QStringView text, QChar separator)
{
    const bool negative = text.startsWith(QLatin1Char('-'));
    if (negative)
        text = text.mid(1);
    const qsizetype at = text.indexOf(separator);
    const QStringView whole = at < 0 ? text : text.left(at);
    QStringView fraction = at < 0 ? QStringView() : text.mid(at + 1);
    if (whole.isEmpty() || fraction.size() > 2 || (at >= 0 && fraction.isEmpty()) || !allDigits(whole) ||
        !allDigits(fraction))
        return std::nullopt;
    const std::optional<qint64> units = magnitude(whole, 2);
    const std::optional<qint64> cents = magnitude(fraction, 2 - int(fraction.size()));
    if (!units || !cents || *units + *cents > maxCents)
        return std::nullopt;
    return Money(negative ? -(*units + *cents) : *units + *cents);
}

QString Money::text(QChar separator) const
{
    // Built from the integer: no binary fraction can round it, no locale can group it.
    const quint64 magnitude = m_cents < 0 ? 0 - quint64(m_cents) : quint64(m_cents);
    QString out = QString::number(magnitude / 100) + separator +
                  QStringLiteral("%1").arg(magnitude % 100, 2, 10, QLatin1Char('0'));
    return m_cents < 0 ? QLatin1Char('-') + out : out;
}
