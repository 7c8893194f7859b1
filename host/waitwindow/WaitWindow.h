#pragma once

#include "HostExport.h"

#include <QWidget>

class QLabel;

// "Please wait" over a screen: a frameless layer covering the whole screen, which
// keeps the consumer's touches off it, with the text in a box at its centre.
// It does not block the caller; showing it paints it at once.
class HOST_EXPORT WaitWindow : public QWidget
{
    Q_OBJECT
public:
    // `background` and `foreground` are colours as 0x00BBGGRR values; 0 keeps the default.
    WaitWindow(QWidget* screen, const QString& text, qint32 background, qint32 foreground);
    void setText(const QString& text);
    QString text() const;

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void coverScreen();
    QLabel* m_label;
};
