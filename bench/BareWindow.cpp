// kiosk-bare-window: the yardstick of the screen benchmark. A plain Qt window of
// the recharge screen's size and kind (frameless, 800 x 600) that prints the same
// first-paint figures as `kiosk --measure-first-paint` and exits.
#include "FirstPaintProbe.h"

#include <QApplication>
#include <QWidget>

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QWidget window;
    window.setObjectName(QStringLiteral("bareWindow"));
    window.setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);
    window.resize(800, 600);
    FirstPaintProbe probe(window.objectName(), false);
    QObject::connect(&probe, &FirstPaintProbe::painted, &app, &QCoreApplication::quit);
    window.show();
    return app.exec();
}
