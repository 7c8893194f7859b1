#include "AmountText.h"

#include <QLocale>

namespace AmountText {

QString fromDigits(const QString& digits, QChar separator)
{
    switch (digits.size()) {
    case 0:
        return QString();
    case 1:
        return QStringLiteral("0") + separator + QStringLiteral("0") + digits;
    case 2:
        return QStringLiteral("0") + separator + digits;
    default:
        return digits.left(digits.size() - 2) + separator + digits.right(2);
    }
}

QString money(Money value, QChar separator)
{
    return value.text(separator);
}

QString money(double value, QChar separator)
{
    const std::optional<Money> cents = Money::fromUnits(value);
    return cents ? cents->text(separator) : QString();
}

QChar separator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char(',') : point.front();
}

} // namespace AmountText
