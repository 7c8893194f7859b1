#pragma once

#include "HostExport.h"

#include <QString>

// The embedded store is a file that only `kioskctl init-db` creates: opening a
// connection to a missing one would create an empty store and fail later, far
// from the cause.
namespace StoreFile {
// Throws ConfigError naming the file and the command that creates it when the
// connection string names an SQLite file that does not exist. Other engines pass.
HOST_EXPORT void requireExisting(const QString& connectionString);
} // namespace StoreFile
