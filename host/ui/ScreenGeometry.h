#pragma once

#include "HostExport.h"

#include <QSize>

// Size of the screen the kiosk runs on; tests set it to any size.
namespace ScreenGeometry {
HOST_EXPORT QSize size();
HOST_EXPORT void setOverride(const QSize& size); // an invalid size clears the override
} // namespace ScreenGeometry
