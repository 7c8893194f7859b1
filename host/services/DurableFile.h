#pragma once

#include "HostExport.h"

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>

// Files that must survive a power cut or a killed process: every write reaches
// the disk (fsync) before the call returns, and a newly created file is made
// durable in its folder too.
namespace DurableFile
{
// Writes `content` to a temporary file beside `path`, syncs it, renames it over
// `path` and syncs the folder: readers see the old or the new content, never a mix.
HOST_EXPORT void replaceAtomically(const QString& path, const QByteArray& content);
// Syncs the folder that holds `path` so a created or renamed entry survives.
HOST_EXPORT void syncFolderOf(const QString& path);

// Parses JSON lines. A last line that is cut short (a write torn by a crash) or
// any other line that is not a JSON object is skipped and counted in `skipped`.
HOST_EXPORT QList<QJsonObject> parseJsonLines(const QByteArray& content, int* skipped = nullptr);
} // namespace DurableFile

// An append-only file held under an exclusive advisory lock for the lifetime of
// the object, so that the kiosk and the technician's tool never interleave a
// read-decide-append sequence on the same file.
class HOST_EXPORT LockedFile
{
public:
    // Opens (creating it and its folder when missing) and locks `path`. Throws KioskError.
    explicit LockedFile(const QString& path);
    ~LockedFile();
    LockedFile(const LockedFile&) = delete;
    LockedFile& operator=(const LockedFile&) = delete;

    QByteArray readAll() const;
    // Appends one line and syncs the file. A torn last line left by a crash is
    // first closed with a newline so the new line stands on its own.
    void appendLine(const QByteArray& line);
    void appendJson(const QJsonObject& object);
    const QString& path() const { return m_path; }

private:
    QString m_path;
    int m_fd = -1;
};
