#include "ExclusiveLock.h"

#include "KioskError.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

ExclusiveLock::ExclusiveLock(QString path) : m_path(std::move(path)) {}

ExclusiveLock::~ExclusiveLock()
{
    unlock();
}

bool ExclusiveLock::tryLock()
{
    if (m_fd >= 0)
        return true;
    QDir().mkpath(QFileInfo(m_path).absolutePath());
    const QByteArray native = QFile::encodeName(m_path);
    // The lock file may be replaced between open and flock by a holder that removed it;
    // the lock counts only when it is on the file the name still leads to.
    for (int attempt = 0; attempt < 8; ++attempt) {
        const int fd = ::open(native.constData(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
        if (fd < 0)
            throw KioskError(QStringLiteral("%1: cannot open the lock file: %2")
                                 .arg(m_path, QString::fromLocal8Bit(std::strerror(errno))));
        if (::flock(fd, LOCK_EX | LOCK_NB) != 0) {
            ::close(fd);
            return false;
        }
        struct stat opened {
        };
        struct stat named {
        };
        if (::fstat(fd, &opened) == 0 && ::stat(native.constData(), &named) == 0 && opened.st_ino == named.st_ino &&
            opened.st_dev == named.st_dev) {
            m_fd = fd;
            return true;
        }
        ::close(fd);
    }
    return false;
}

void ExclusiveLock::removeAndUnlock()
{
    if (m_fd < 0)
        return;
    ::unlink(QFile::encodeName(m_path).constData());
    unlock();
}

void ExclusiveLock::unlock()
{
    if (m_fd < 0)
        return;
    ::close(m_fd);
    m_fd = -1;
}
