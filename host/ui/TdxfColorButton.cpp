#include "TdxfColorButton.h"

#include "CaptionFit.h"

#include <QPainter>

TdxfColorButton::TdxfColorButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
}

void TdxfColorButton::setColor(const QColor& c)
{
    m_color = c;
    update();
}

void TdxfColorButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QColor base = isEnabled() ? m_color : m_disabledColor;
    const QRectF r = QRectF(rect()).adjusted(1, 1, -1, -1);
    QLinearGradient g(r.topLeft(), r.bottomLeft());
    g.setColorAt(0, isDown() ? base.darker(130) : base.lighter(130));
    g.setColorAt(1, isDown() ? base.lighter(110) : base.darker(120));
    p.setPen(QPen(base.darker(160), 1));
    p.setBrush(g);
    p.drawRoundedRect(r, 6, 6);
    p.setPen(isEnabled() ? palette().color(QPalette::ButtonText) : m_disabledTextColor);
    const QRect room =
        rect().adjusted(CaptionFit::margin, CaptionFit::margin, -CaptionFit::margin, -CaptionFit::margin);
    p.setFont(CaptionFit::fitted(font(), text(), room, false));
    p.drawText(rect(), Qt::AlignCenter, text());
}
