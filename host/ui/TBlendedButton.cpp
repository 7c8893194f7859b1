#include "TBlendedButton.h"

#include "CaptionFit.h"

#include <QPainter>

TBlendedButton::TBlendedButton(QWidget* parent) : QAbstractButton(parent)
{
    setFocusPolicy(Qt::NoFocus);
    connect(this, &QAbstractButton::pressed, this, &TBlendedButton::holdDownInGroup);
}

void TBlendedButton::holdDownInGroup()
{
    if (m_groupIndex <= 0 || !parentWidget())
        return;
    const auto siblings = parentWidget()->findChildren<TBlendedButton*>(QString(), Qt::FindDirectChildrenOnly);
    for (TBlendedButton* other : siblings) {
        if (other->m_groupIndex == m_groupIndex && other->m_stuckDown != (other == this)) {
            other->m_stuckDown = other == this;
            other->update();
        }
    }
}

void TBlendedButton::setColor(const QColor& c)
{
    m_color = c;
    update();
}

void TBlendedButton::paintEvent(QPaintEvent*)
{
    QPainter p(this);
    const bool down = isDown() || m_stuckDown;
    const QColor fill = !isEnabled() ? m_disabledColor : down ? m_downColor : m_color;
    const QColor text = !isEnabled() ? m_disabledTextColor
                        : down       ? m_downTextColor
                                     : palette().color(QPalette::ButtonText);
    TBlendedShape::paintShape(p, QRectF(rect()), m_shape, fill);
    paintContent(p, rect(), text);
}

void TBlendedButton::paintContent(QPainter& p, const QRect& r, const QColor& textColor)
{
    p.setPen(textColor);
    const QRect room = r.adjusted(CaptionFit::margin, CaptionFit::margin, -CaptionFit::margin, -CaptionFit::margin);
    p.setFont(CaptionFit::fitted(font(), text(), room, true));
    p.drawText(r, Qt::AlignCenter | Qt::TextWordWrap, text());
}

TBlendedBitBtn::TBlendedBitBtn(QWidget* parent) : TBlendedButton(parent) {}

void TBlendedBitBtn::setGlyph(const QPixmap& g)
{
    m_glyph = g;
    update();
}

void TBlendedBitBtn::paintContent(QPainter& p, const QRect& r, const QColor& textColor)
{
    if (m_glyph.isNull()) {
        TBlendedButton::paintContent(p, r, textColor);
        return;
    }
    p.setPen(textColor);
    const QSize g = m_glyph.size();
    // The caption shares the button with the glyph: it fits what the glyph leaves.
    const QRect room = m_glyphAbove ? r.adjusted(CaptionFit::margin, g.height() + m_spacing, -CaptionFit::margin, 0)
                                    : r.adjusted(g.width() + m_spacing + CaptionFit::margin, 0, -CaptionFit::margin, 0);
    p.setFont(CaptionFit::fitted(font(), text(), room, false));
    if (text().isEmpty()) {
        p.drawPixmap(r.center() - QPoint(g.width() / 2, g.height() / 2), m_glyph);
    } else if (m_glyphAbove) {
        const int textH = p.fontMetrics().height();
        const int top = r.top() + (r.height() - g.height() - m_spacing - textH) / 2;
        p.drawPixmap(r.left() + (r.width() - g.width()) / 2, top, m_glyph);
        p.drawText(QRect(r.left(), top + g.height() + m_spacing, r.width(), textH), Qt::AlignCenter, text());
    } else {
        const int textW = p.fontMetrics().horizontalAdvance(text());
        const int left = r.left() + (r.width() - g.width() - m_spacing - textW) / 2;
        p.drawPixmap(left, r.top() + (r.height() - g.height()) / 2, m_glyph);
        p.drawText(QRect(left + g.width() + m_spacing, r.top(), textW + 2, r.height()), Qt::AlignVCenter, text());
    }
}
