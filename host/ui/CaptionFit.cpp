#include "CaptionFit.h"

#include <QFontMetrics>

namespace CaptionFit
{
namespace
{
bool fits(const QFont& font, const QString& text, const QRect& room, bool wordWrap)
{
    const QFontMetrics metrics(font);
    const int flags = Qt::AlignCenter | (wordWrap ? Qt::TextWordWrap : 0);
    const QRect needed = metrics.boundingRect(QRect(0, 0, room.width(), 100000), flags, text);
    return needed.width() <= room.width() && needed.height() <= room.height();
}
} // namespace

QFont fitted(const QFont& font, const QString& text, const QRect& room, bool wordWrap)
{
    if (text.isEmpty() || room.isEmpty() || fits(font, text, room, wordWrap))
        return font;
    QFont smaller = font;
    const bool pixels = font.pixelSize() > 0;
    int size = pixels ? font.pixelSize() : QFontInfo(font).pixelSize();
    while (size > smallestPixels) {
        --size;
        smaller.setPixelSize(size);
        if (fits(smaller, text, room, wordWrap))
            break;
    }
    return smaller;
}
} // namespace CaptionFit
