#pragma once

#include "HostExport.h"

class QWidget;

namespace Trad_utl {
// Translates a screen into the kiosk's language (texts are written in Portuguese;
// English and Spanish translations ship with the host). Installs the translator
// once, then asks the screen to retranslate itself.
HOST_EXPORT void Trad(QWidget* form);
} // namespace Trad_utl
