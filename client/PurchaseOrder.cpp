#include "PurchaseOrder.h"

#include "AmountText.h"

Money PurchaseOrder::amountOfDigits(const QString& digits)
{
    return Money::fromDigits(digits).value_or(Money());
}

QString PurchaseOrder::amountText(QChar separator) const
{
    return digits.isEmpty() ? AmountText::money(Money(), separator) : AmountText::fromDigits(digits, separator);
}

QString PurchaseOrder::summary(QChar separator) const
{
    const QString name = familyName.trimmed().isEmpty() ? family : familyName.trimmed();
    return name + QStringLiteral(", ") + AmountText::money(amount, separator);
}
