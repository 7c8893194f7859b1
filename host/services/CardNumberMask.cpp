#include "CardNumberMask.h"

namespace CardNumberMask
{

QString mask(const QString& cardNumber)
{
    QString kept;
    kept.reserve(cardNumber.size());
    for (const QChar c : cardNumber) {
        if (c.isDigit() || c == QLatin1Char('*'))
            kept.append(c);
        else if (!c.isSpace() && c != QLatin1Char('-') && c != QLatin1Char('.'))
            kept.append(QLatin1Char('*')); // anything else is never shown
    }
    const int n = int(kept.size());
    if (n <= 4)
        return QString(n, QLatin1Char('*'));
    if (n < fieldWidth)
        return QString(n - 4, QLatin1Char('*')) + kept.right(4);
    return kept.left(4) + QString(fieldWidth - 8, QLatin1Char('*')) + kept.right(4);
}

} // namespace CardNumberMask
