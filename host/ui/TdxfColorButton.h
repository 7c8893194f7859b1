#pragma once

#include "HostExport.h"

#include <QAbstractButton>

// The keypad's coloured push button: a bevelled key with a colour, a caption and a
// tag; drawn in its disabled colours while disabled.
class HOST_EXPORT TdxfColorButton : public QAbstractButton
{
    Q_OBJECT
    Q_PROPERTY(QColor color READ color WRITE setColor)
    Q_PROPERTY(QColor disabledColor READ disabledColor WRITE setDisabledColor)
    Q_PROPERTY(QColor disabledTextColor READ disabledTextColor WRITE setDisabledTextColor)
    Q_PROPERTY(int tag READ tag WRITE setTag)
public:
    explicit TdxfColorButton(QWidget* parent = nullptr);
    QColor color() const { return m_color; }
    void setColor(const QColor& c);
    QColor disabledColor() const { return m_disabledColor; }
    void setDisabledColor(const QColor& c) { m_disabledColor = c; update(); }
    QColor disabledTextColor() const { return m_disabledTextColor; }
    void setDisabledTextColor(const QColor& c) { m_disabledTextColor = c; update(); }
    int tag() const { return m_tag; }
    void setTag(int t) { m_tag = t; }
    QSize sizeHint() const override { return QSize(72, 48); }

protected:
    void paintEvent(QPaintEvent*) override;

private:
    QColor m_color = QColor(0x66, 0xD9, 0x11);
    QColor m_disabledColor = QColor(0x80, 0x80, 0x80);
    QColor m_disabledTextColor = QColor(0xC0, 0xC0, 0xC0);
    int m_tag = 0;
};
