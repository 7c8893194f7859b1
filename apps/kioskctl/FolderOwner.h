#pragma once

#include <QString>
#include <QStringList>

// kioskctl run as root in a folder that belongs to another user (the kiosk's data
// folder, the folder of its embedded store) would leave files there that the kiosk,
// running as that user, cannot write any more: a store, a journal, the terminal's
// files, their locks. It refuses instead and names the command to run.
namespace FolderOwner
{
// Throws KioskError when this process runs as root and one of the folders that exist
// belongs to another user; `arguments` are kioskctl's own, for the command it names.
void requireSameOwner(const QStringList& folders, const QStringList& arguments);
// The folders a command works in: the configured data folder and, for an embedded
// store, the folder of its file.
QStringList configuredFolders();
} // namespace FolderOwner
