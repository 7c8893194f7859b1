#include "ScreenGeometry.h"

#include <QGuiApplication>
#include <QScreen>

namespace {
QSize forced;
}

namespace ScreenGeometry {
QSize size()
{
    if (forced.isValid())
        return forced;
    const QScreen* s = QGuiApplication::primaryScreen();
    return s ? s->size() : QSize(800, 600);
}

void setOverride(const QSize& size)
{
    forced = size;
}
} // namespace ScreenGeometry
