#include "StoreLocator.h"

#include "ConnectionString.h"
#include "KioskError.h"
#include "StoreFile.h"

#include <QDir>
#include <QFileInfo>
#include <QStringList>

namespace
{
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

namespace StoreLocator
{
QString findDemoFolder(const QString& programFolder, const QString& currentFolder)
{
    for (const QString& folder : demoCandidates(programFolder, currentFolder)) {
        if (QFileInfo(folder + QStringLiteral("/store.db")).isFile())
            return folder;
    }
    return QString();
}

QString findDemoConfig(const QString& programFolder, const QString& currentFolder)
{
    const QString folder = findDemoFolder(programFolder, currentFolder);
    const QString config = folder + QStringLiteral("/kiosk.conf");
    return !folder.isEmpty() && QFileInfo(config).isFile() ? config : QString();
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
    StoreFile::requireExisting(connectionString);
}
} // namespace StoreLocator
