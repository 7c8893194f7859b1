#include "ReceiptLayout.h"

#include <QLocale>

namespace ReceiptLayout
{
QString money(double value)
{
    return QLocale().toString(value, 'f', 2);
}

QString centred(const QString& text, int width)
{
    const QString t = text.left(width);
    return QString((width - int(t.size())) / 2, QLatin1Char(' ')) + t;
}

QString pair(const QString& label, const QString& value, int width)
{
    const int gap = width - int(label.size()) - int(value.size());
    if (gap < 1)
        return (label + QLatin1Char(' ') + value).left(width);
    return label + QString(gap, QLatin1Char(' ')) + value;
}
} // namespace ReceiptLayout
