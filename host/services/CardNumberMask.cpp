#include "CardNumberMask.h"

#include <QRegularExpression>

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

QString maskWithin(const QString& text)
{
    static const QRegularExpression run(QStringLiteral("(?<![0-9])[0-9](?:[ -]?[0-9]){12,18}(?![0-9])"));
    QString out;
    qsizetype from = 0;
    for (auto it = run.globalMatch(text); it.hasNext();) {
        const QRegularExpressionMatch m = it.next();
        out += QStringView(text).mid(from, m.capturedStart() - from);
        out += mask(m.captured());
        from = m.capturedEnd();
    }
    if (from == 0)
        return text;
    out += QStringView(text).mid(from);
    return out;
}

} // namespace CardNumberMask
