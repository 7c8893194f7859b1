#include "FolderOwner.h"

#include "ConnectionString.h"
#include "HostConfig.h"
#include "KioskError.h"

#include <QFileInfo>
#include <unistd.h>

namespace FolderOwner
{
void requireSameOwner(const QStringList& folders, const QStringList& arguments)
{
    if (geteuid() != 0)
        return;
    for (const QString& folder : folders) {
        const QFileInfo info(folder);
        if (!info.isDir() || info.ownerId() == 0)
            continue;
        QStringList quoted;
        for (const QString& a : arguments)
            quoted << (a.contains(QLatin1Char(' ')) ? QLatin1Char('\'') + a + QLatin1Char('\'') : a);
        throw KioskError(QStringLiteral("%1 belongs to %2: what kioskctl would create there as root, %2 could not "
                                        "write; run it as %2: runuser -u %2 -- kioskctl %3")
                             .arg(info.absoluteFilePath(), info.owner(), quoted.join(QLatin1Char(' '))));
    }
}

QStringList configuredFolders()
{
    QStringList folders{HostConfig::instance().programFolder()};
    const ConnectionString cs(HostConfig::instance().connectionString());
    if (cs.isValid() && cs.kind() == QLatin1String("SQLITE")) {
        const QString file = cs.value(QStringLiteral("Data Source"));
        if (!file.isEmpty() && file != QLatin1String(":memory:") && !file.startsWith(QLatin1String("file:")))
            folders << QFileInfo(file).absolutePath();
    }
    return folders;
}
} // namespace FolderOwner
