#include "FittingLabel.h"

#include <QPainter>
#include <QStyle>

namespace
{
constexpr int smallestPixels = 6;
} // namespace

FittingLabel::FittingLabel(QWidget* parent) : QLabel(parent) {}

QFont FittingLabel::fittedFont() const
{
    QFont f = font();
    const int room = contentsRect().width() - 2 * margin();
    auto fits = [&](const QFont& candidate) { return QFontMetrics(candidate).horizontalAdvance(text()) <= room; };
    if (text().isEmpty() || fits(f))
        return f;
    int pixels = f.pixelSize() > 0 ? f.pixelSize() : QFontInfo(f).pixelSize();
    while (pixels > smallestPixels) {
        --pixels;
        f.setPixelSize(pixels);
        if (fits(f))
            break;
    }
    return f;
}

void FittingLabel::paintEvent(QPaintEvent* event)
{
    const QFont fitted = fittedFont();
    if (fitted == font()) {
        QLabel::paintEvent(event);
        return;
    }
    QPainter painter(this);
    painter.setFont(fitted);
    style()->drawItemText(&painter, contentsRect().adjusted(margin(), margin(), -margin(), -margin()), int(alignment()),
                          palette(), isEnabled(), text(), foregroundRole());
}
