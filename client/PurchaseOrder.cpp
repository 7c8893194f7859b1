#include "PurchaseOrder.h"

#include "AmountText.h"

qint64 PurchaseOrder::centsOfDigits(const QString& digits)
{
    qint64 cents = 0;
    for (const QChar c : digits) {
        if (c < QLatin1Char('0') || c > QLatin1Char('9'))
            break;
        cents = cents * 10 + (c.unicode() - '0');
    }
    return cents;
}

QString PurchaseOrder::amountText(QChar separator) const
{
    return digits.isEmpty() ? AmountText::money(0, separator) : AmountText::fromDigits(digits, separator);
}

QString PurchaseOrder::summary(QChar separator) const
{
    const QString name = familyName.trimmed().isEmpty() ? family : familyName.trimmed();
    return name + QStringLiteral(", ") + AmountText::money(amount(), separator);
}
