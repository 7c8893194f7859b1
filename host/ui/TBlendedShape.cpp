#include "TBlendedShape.h"

#include <QPainter>

TBlendedShape::TBlendedShape(QWidget* parent) : QWidget(parent)
{
    setAttribute(Qt::WA_TransparentForMouseEvents);
}

void TBlendedShape::setColor(const QColor& c)
{
    m_color = c;
    update();
}

void TBlendedShape::setShape(Shape s)
{
    m_shape = s;
    update();
}

void TBlendedShape::setTransparency(int t)
{
    m_transparency = qBound(0, t, 100);
    update();
}

void TBlendedShape::paintShape(QPainter& p, const QRectF& r, Shape shape, const QColor& fill)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(fill);
    switch (shape) {
    case Rectangle:
        p.drawRect(r);
        break;
    case Circle:
        p.drawEllipse(r);
        break;
    case RoundRect: {
        const qreal radius = qMin<qreal>(12.0, qMin(r.width(), r.height()) / 4);
        p.drawRoundedRect(r, radius, radius);
        break;
    }
    }
}

void TBlendedShape::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    p.setOpacity(1.0 - m_transparency / 100.0);
    paintShape(p, QRectF(rect()), m_shape, m_color);
}
