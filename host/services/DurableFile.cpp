#include "DurableFile.h"

#include "KioskError.h"

#include <QDir>
#include <QFileInfo>
#include <QJsonDocument>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
QString systemError(const QString& path, const char* what)
{
    return QStringLiteral("%1: cannot %2 (%3)")
        .arg(path, QString::fromLatin1(what), QString::fromLocal8Bit(std::strerror(errno)));
}

void writeAll(int fd, const QByteArray& bytes, const QString& path)
{
    qsizetype done = 0;
    while (done < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + done, size_t(bytes.size() - done));
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw KioskError(systemError(path, "write"));
        }
        done += n;
    }
}

void ensureFolder(const QString& path)
{
    const QString folder = QFileInfo(path).absolutePath();
    if (!QDir().mkpath(folder))
        throw KioskError(QStringLiteral("%1: cannot create the folder").arg(folder));
}
} // namespace

namespace DurableFile
{

void syncFolderOf(const QString& path)
{
    const QByteArray folder = QFile::encodeName(QFileInfo(path).absolutePath());
    const int fd = ::open(folder.constData(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0)
        throw KioskError(systemError(QString::fromLocal8Bit(folder), "open the folder"));
    const int rc = ::fsync(fd);
    ::close(fd);
    if (rc != 0)
        throw KioskError(systemError(QString::fromLocal8Bit(folder), "sync the folder"));
}

void replaceAtomically(const QString& path, const QByteArray& content)
{
    ensureFolder(path);
    const QString temporary = path + QStringLiteral(".new");
    const QByteArray tmpName = QFile::encodeName(temporary);
    const int fd = ::open(tmpName.constData(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0)
        throw KioskError(systemError(temporary, "create"));
    try {
        writeAll(fd, content, temporary);
        if (::fsync(fd) != 0)
            throw KioskError(systemError(temporary, "sync"));
    } catch (...) {
        ::close(fd);
        ::unlink(tmpName.constData());
        throw;
    }
    ::close(fd);
    if (::rename(tmpName.constData(), QFile::encodeName(path).constData()) != 0) {
        const QString text = systemError(path, "replace");
        ::unlink(tmpName.constData());
        throw KioskError(text);
    }
    syncFolderOf(path);
}

QList<QJsonObject> parseJsonLines(const QByteArray& content, int* skipped)
{
    QList<QJsonObject> objects;
    int bad = 0;
    for (const QByteArray& raw : content.split('\n')) {
        const QByteArray line = raw.trimmed();
        if (line.isEmpty())
            continue;
        QJsonParseError error{};
        const QJsonDocument doc = QJsonDocument::fromJson(line, &error);
        if (error.error != QJsonParseError::NoError || !doc.isObject()) {
            ++bad;
            continue;
        }
        objects.append(doc.object());
    }
    if (skipped)
        *skipped = bad;
    return objects;
}

} // namespace DurableFile

LockedFile::LockedFile(const QString& path) : m_path(path)
{
    ensureFolder(path);
    const QByteArray name = QFile::encodeName(path);
    bool created = false;
    m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CLOEXEC);
    if (m_fd < 0 && errno == ENOENT) {
        m_fd = ::open(name.constData(), O_RDWR | O_APPEND | O_CREAT | O_CLOEXEC, 0644);
        created = m_fd >= 0;
    }
    if (m_fd < 0)
        throw KioskError(systemError(path, "open"));
    while (::flock(m_fd, LOCK_EX) != 0) {
        if (errno != EINTR) {
            const QString text = systemError(path, "lock");
            ::close(m_fd);
            throw KioskError(text);
        }
    }
    if (created)
        DurableFile::syncFolderOf(path);
}

LockedFile::~LockedFile()
{
    if (m_fd >= 0)
        ::close(m_fd); // releases the lock
}

QByteArray LockedFile::readAll() const
{
    QByteArray content;
    char buffer[65536];
    off_t offset = 0;
    for (;;) {
        const ssize_t n = ::pread(m_fd, buffer, sizeof buffer, offset);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            throw KioskError(systemError(m_path, "read"));
        }
        if (n == 0)
            break;
        content.append(buffer, n);
        offset += n;
    }
    return content;
}

void LockedFile::appendLine(const QByteArray& line)
{
    QByteArray bytes;
    // Whether the last line was torn must be known: guessing could glue the new line to it.
    struct stat st {
    };
    if (::fstat(m_fd, &st) != 0)
        throw KioskError(systemError(m_path, "examine"));
    if (st.st_size > 0) {
        char last = '\n';
        ssize_t n;
        do {
            n = ::pread(m_fd, &last, 1, st.st_size - 1);
        } while (n < 0 && errno == EINTR);
        if (n != 1)
            throw KioskError(n < 0 ? systemError(m_path, "read its last line")
                                   : QStringLiteral("%1: its last line is gone while being read").arg(m_path));
        if (last != '\n')
            bytes.append('\n');
    }
    bytes.append(line);
    bytes.append('\n');
    writeAll(m_fd, bytes, m_path);
    if (::fdatasync(m_fd) != 0)
        throw KioskError(systemError(m_path, "sync"));
}

void LockedFile::appendJson(const QJsonObject& object)
{
    appendLine(QJsonDocument(object).toJson(QJsonDocument::Compact));
}
