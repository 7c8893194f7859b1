#include "StoreLocator.h"

#include "ConnectionString.h"
#include "KioskError.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace {
QString projectFolder(const QString& programFolder)
{
    return QDir::cleanPath(programFolder + QStringLiteral("/../.."));
}

QStringList demoCandidates(const QString& programFolder, const QString& currentFolder)
{
    QStringList folders{projectFolder(programFolder) + QStringLiteral("/demo-data"),
                        QDir::cleanPath(currentFolder + QStringLiteral("/demo-data"))};
    folders.removeDuplicates();
    return folders;
}
} // namespace

namespace StoreLocator {
QString findDemoFolder(const QString& programFolder, const QString& currentFolder)
{
    for (const QString& folder : demoCandidates(programFolder, currentFolder)) {
        if (QFileInfo(folder + QStringLiteral("/store.db")).isFile())
            return folder;
    }
    return QString();
}

QString demoStoreMissing(const QString& programFolder, const QString& currentFolder)
{
    const QString project = projectFolder(programFolder);
    const QString looked = demoCandidates(programFolder, currentFolder).join(QStringLiteral(" or "));
    if (QFileInfo(project + QStringLiteral("/demo.sh")).isFile())
        return QStringLiteral("no demo store in %1; create it with %2/demo.sh").arg(looked, project);
    return QStringLiteral("no demo store in %1; create one with kioskctl init-db, kioskctl demo-data and "
                          "kioskctl demo-files (KIOSK_DB and KIOSK_DATA_DIR name where)")
        .arg(looked);
}

void requireExistingStore(const QString& connectionString)
{
    const ConnectionString cs(connectionString);
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
} // namespace StoreLocator
