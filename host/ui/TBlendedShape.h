#pragma once

#include "HostExport.h"

#include <QWidget>

// A drawn shape: rounded rectangle, rectangle or circle filled with a colour and
// blended with what lies behind it by its transparency (0 opaque ... 100 invisible).
class HOST_EXPORT TBlendedShape : public QWidget
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(Shape shape READ shape WRITE setShape)
    Q_PROPERTY(int transparency READ transparency WRITE setTransparency)
public:
    enum Shape { RoundRect, Rectangle, Circle };
    Q_ENUM(Shape)

    explicit TBlendedShape(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& c);
    Shape shape() const { return m_shape; }
    void setShape(Shape s);
    int transparency() const { return m_transparency; }
    void setTransparency(int t);

    static void paintShape(QPainter& p, const QRectF& r, Shape shape, const QColor& fill);

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_color = Qt::white;
    Shape m_shape = RoundRect;
    int m_transparency = 0;
};
