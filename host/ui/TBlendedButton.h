#pragma once

#include "TBlendedShape.h"

#include <QAbstractButton>

// A drawn push button: a blended shape with a caption, its own colours when
// pressed and when disabled, a tag and a group index (buttons of one group stay
// down one at a time).
class HOST_EXPORT TBlendedButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(QColor downColor READ downColor WRITE setDownColor)
    Q_PROPERTY(QColor downTextColor READ downTextColor WRITE setDownTextColor)
    Q_PROPERTY(QColor disabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(QColor disabledTextColor READ disabledTextColor WRITE setDisabledTextColor)
    Q_PROPERTY(TBlendedShape::Shape shape READ shape WRITE setShape)
    Q_PROPERTY(int tag READ tag WRITE setTag)
    Q_PROPERTY(int groupIndex READ groupIndex WRITE setGroupIndex)
public:
    explicit TBlendedButton(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& c);
    int tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    int groupIndex() const { return m_groupIndex; }
    void setGroupIndex(int g) { m_groupIndex = g; }
    // With a group index above 0 the last pressed button of its group (among its
    // siblings) stays drawn down until another one of the group is pressed.
    bool stuckDown() const { return m_stuckDown; }
    QColor downColor() const { return m_downColor; }
    void setDownColor(const QColor& c) { m_downColor = c; }
    QColor downTextColor() const { return m_downTextColor; }
    void setDownTextColor(const QColor& c) { m_downTextColor = c; }
    QColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(const QColor& c) { m_disabledColor = c; }
    QColor disabledTextColor() const { return m_disabledTextColor; }
    void setDisabledTextColor(const QColor& c) { m_disabledTextColor = c; }
    TBlendedShape::Shape shape() const { return m_shape; }
    void setShape(TBlendedShape::Shape s) { m_shape = s; update(); }
    QSize sizeHint() const override { return QSize(120, 40); }

protected:
    void paintEvent(QPaintEvent*) override;
    virtual void paintContent(QPainter& p, const QRect& r, const QColor& textColor);

private:
    QColor m_color = QColor(0xEF, 0xFD, 0xE3);
    QColor m_downColor = Qt::black;
    QColor m_downTextColor = Qt::white;
    QColor m_disabledColor = Qt::gray;
    QColor m_disabledTextColor = Qt::lightGray;
    TBlendedShape::Shape m_shape = TBlendedShape::RoundRect;
    int m_tag = 0;
    int m_groupIndex = 0;
    bool m_stuckDown = false;

    void holdDownInGroup();
};

// A drawn button with a picture (glyph) beside or above its caption.
class HOST_EXPORT TBlendedBitBtn : public TBlendedButton
{
    Q_OBJECT
    Q_PROPERTY(QPixmap glyph READ glyph WRITE setGlyph)
    Q_PROPERTY(bool glyphAbove READ glyphAbove WRITE setGlyphAbove)
    Q_PROPERTY(int spacing READ spacing WRITE setSpacing)
public:
    explicit TBlendedBitBtn(QWidget* parent = nullptr);
    QPixmap glyph() const { return m_glyph; }
    void setGlyph(const QPixmap& g);
    bool glyphAbove() const { return m_glyphAbove; }
    void setGlyphAbove(bool above) { m_glyphAbove = above; }
    // Pixels between the glyph and the caption.
    int spacing() const { return m_spacing; }
    void setSpacing(int s) { m_spacing = s; update(); }

protected:
    void paintContent(QPainter& p, const QRect& r, const QColor& textColor) override;

private:
    QPixmap m_glyph;
    bool m_glyphAbove = false;
    int m_spacing = 4;
};
