#include "ScreenPicture.h"

#include <QApplication>
#include <QPainter>
#include <QPixmap>
#include <QWidget>

namespace ScreenPicture {
bool save(QWidget* screen, const QString& file)
{
    QPixmap shot = screen->grab();
    QWidget* box = QApplication::activeModalWidget();
    if (box && box != screen) {
        QPainter painter(&shot);
        painter.drawPixmap(box->mapToGlobal(QPoint(0, 0)) - screen->mapToGlobal(QPoint(0, 0)), box->grab());
    }
    return shot.save(file, "PNG");
}
} // namespace ScreenPicture
