#pragma once

#include "HostExport.h"

#include <QString>

class QWidget;

namespace Trad_utl
{
// Translates a screen into the kiosk's language (texts are written in Portuguese;
// English and Spanish translations ship with the host). Installs the translator
// once, then asks the screen to retranslate itself.
HOST_EXPORT void Trad(QWidget* form);

// The language a consumer chose at the kiosk ("pt", "en" or "es") for the screens
// translated from now on; empty goes back to the language of the kiosk's locale.
// Numbers, dates and receipts keep the locale whatever the language.
HOST_EXPORT void setLanguage(const QString& language);
// The language Trad translates into now.
HOST_EXPORT QString language();
} // namespace Trad_utl
