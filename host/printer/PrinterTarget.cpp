#include "PrinterTarget.h"

#include <QFile>
#include <QFileInfo>
#include <QUrl>

#include <sys/stat.h>
#include <unistd.h>

namespace
{
PrinterTarget usable(const QString& what)
{
    return {PrinterTarget::Verdict::Usable, what};
}

PrinterTarget unusable(const QString& target, const QString& why)
{
    return {PrinterTarget::Verdict::Unusable, QStringLiteral("%1: %2").arg(target, why)};
}

bool writable(const QString& path)
{
    return ::access(QFile::encodeName(path).constData(), W_OK) == 0;
}
} // namespace

PrinterTarget PrinterTarget::examine(const QString& target)
{
    if (target.startsWith(QLatin1String("tcp://"))) {
        const QUrl url(target);
        if (url.host().isEmpty() || url.port() <= 0)
            return unusable(target, QStringLiteral("not an address (tcp://HOST:PORT)"));
        return usable(target);
    }
    const QString path = QFileInfo(target).absoluteFilePath();
    if (path.startsWith(QLatin1String("/proc/")) || path.startsWith(QLatin1String("/sys/")))
        return unusable(target, QStringLiteral("a system information file, not a printer"));
    if (path == QLatin1String("/dev/null"))
        return {Verdict::Warning, target + QStringLiteral(": receipts are thrown away")};
    struct stat st {
    };
    if (::stat(QFile::encodeName(path).constData(), &st) != 0) {
        if (path.startsWith(QLatin1String("/dev/")))
            return unusable(target, QStringLiteral("no such device"));
        const QFileInfo folder(QFileInfo(path).absolutePath());
        if (!folder.isDir() || !writable(folder.absoluteFilePath()))
            return unusable(target, QStringLiteral("its folder cannot be written"));
        return usable(target + QStringLiteral(" (receipts file, made at the first receipt)"));
    }
    QString kind;
    if (S_ISDIR(st.st_mode))
        return unusable(target, QStringLiteral("a folder"));
    if (S_ISCHR(st.st_mode) || S_ISBLK(st.st_mode))
        kind = QStringLiteral("device");
    else if (S_ISFIFO(st.st_mode))
        kind = QStringLiteral("FIFO");
    else if (S_ISSOCK(st.st_mode))
        kind = QStringLiteral("socket");
    else if (S_ISREG(st.st_mode))
        kind = QStringLiteral("receipts file");
    else
        return unusable(target, QStringLiteral("not a device, FIFO, socket or file"));
    if (!writable(path))
        return unusable(target, QStringLiteral("the kiosk may not write to this %1").arg(kind));
    return usable(QStringLiteral("%1 (%2)").arg(target, kind));
}
