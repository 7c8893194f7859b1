#include "StoreFile.h"

#include "ConnectionString.h"
#include "KioskError.h"

#include <QFileInfo>

namespace StoreFile {
void requireExisting(const QString& connectionString)
{
    const ConnectionString cs(connectionString);
    if (!cs.isValid())
        throw ConfigError(cs.error());
    if (cs.kind() != QLatin1String("SQLITE"))
        return;
    const QString file = cs.value(QStringLiteral("Data Source"));
    if (file.isEmpty())
        throw ConfigError(QStringLiteral("the store's connection string names no Data Source file"));
    if (file == QLatin1String(":memory:") || file.startsWith(QLatin1String("file:")))
        return;
    const QFileInfo info(file);
    if (!info.exists())
        throw ConfigError(QStringLiteral("the store %1 does not exist; create it with kioskctl init-db "
                                         "(the kiosk never creates a store)")
                              .arg(info.absoluteFilePath()));
    if (!info.isFile())
        throw ConfigError(QStringLiteral("the store %1 is not a file").arg(info.absoluteFilePath()));
}
} // namespace StoreFile
