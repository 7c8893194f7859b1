#pragma once

#include "HostExport.h"

#include <QString>

// String helpers of the screen side.
namespace Consiste {
// `text` padded on the left with "0" to `width` characters; a longer text is returned whole.
HOST_EXPORT QString Ajusta(const QString& text, int width);
// True when the text holds nothing but blanks.
HOST_EXPORT bool EmptyString(const QString& text);
} // namespace Consiste

// The same helpers as the server side links them.
namespace Srv_consiste {
inline QString Ajusta(const QString& text, int width) { return Consiste::Ajusta(text, width); }
inline bool EmptyString(const QString& text) { return Consiste::EmptyString(text); }
} // namespace Srv_consiste
