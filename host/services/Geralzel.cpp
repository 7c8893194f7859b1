#include "Geralzel.h"

#include "HostConfig.h"
#include "KioskError.h"

namespace Geralzel {
QString _GetStringConexZel(const QString&)
{
    const QString cs = HostConfig::instance().connectionString();
    if (cs.trimmed().isEmpty())
        throw ConfigError(QStringLiteral("no database connection is configured (set KIOSK_DB or "
                                         "\"connection\" under [database] in %1)")
                              .arg(HostConfig::instance().file()));
    return cs;
}
} // namespace Geralzel
