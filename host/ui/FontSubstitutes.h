#pragma once

#include "HostExport.h"

// The screen's design names Windows fonts (Verdana, Tahoma, MS Sans Serif); on a
// kiosk without them they resolve to installed metric-compatible families
// (DejaVu Sans, from fonts-dejavu-core) so captions keep their designed widths.
namespace FontSubstitutes {
HOST_EXPORT void install();
} // namespace FontSubstitutes
