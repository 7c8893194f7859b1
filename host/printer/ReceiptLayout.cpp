#include "ReceiptLayout.h"

#include <QLocale>

namespace ReceiptLayout
{
namespace
{
// C0 controls, DEL and the C1 controls (U+0080..U+009F, which some code pages map to commands).
bool isControl(QChar c)
{
    const char16_t u = c.unicode();
    return u < 0x20 || u == 0x7f || (u >= 0x80 && u <= 0x9f);
}
} // namespace

QString printable(const QString& text)
{
    QString out = text;
    for (QChar& c : out)
        if (isControl(c))
            c = QLatin1Char(' ');
    return out;
}

QString withoutControls(const QString& text)
{
    QString out;
    out.reserve(text.size());
    for (const QChar c : text)
        if (c == QLatin1Char('\n') || !isControl(c))
            out.append(c);
    return out;
}

QString money(Money value)
{
    const QString point = QLocale().decimalPoint();
    return value.text(point.isEmpty() ? QLatin1Char(',') : point.front());
}

QString centred(const QString& text, int width)
{
    const QString t = printable(text).left(width);
    return QString((width - int(t.size())) / 2, QLatin1Char(' ')) + t;
}

QString pair(const QString& label, const QString& rawValue, int width)
{
    const QString value = printable(rawValue);
    const int gap = width - int(label.size()) - int(value.size());
    if (gap < 1)
        return (label + QLatin1Char(' ') + value).left(width);
    return label + QString(gap, QLatin1Char(' ')) + value;
}
} // namespace ReceiptLayout
