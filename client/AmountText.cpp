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

QString money(double value, QChar separator)
{
    // Formatted in the C locale (no grouping), then given the kiosk's separator.
    QString text = QString::number(value, 'f', 2);
    if (text == QLatin1String("-0.00"))
        text = QStringLiteral("0.00");
    text.replace(QLatin1Char('.'), separator);
    return text;
}

QChar separator()
{
    const QString point = QLocale().decimalPoint();
    return point.isEmpty() ? QLatin1Char(',') : point.front();
}

} // namespace AmountText
