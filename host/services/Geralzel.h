#pragma once

#include "HostExport.h"

#include <QString>

// Connection string service of the host library.
namespace Geralzel {
// The installation's connection string; throws ConfigError when none is configured.
HOST_EXPORT QString _GetStringConexZel(const QString& unused);
} // namespace Geralzel
