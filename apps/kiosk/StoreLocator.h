#pragma once

#include <QString>

// Where the kiosk finds its store, and the refusal to open one that is not there.
namespace StoreLocator
{
// The demo-data folder for `kiosk --demo`: the one of the project the program was
// built in (the program is <project>/build/bin/kiosk), else ./demo-data. Empty when
// neither holds a store.db.
QString findDemoFolder(const QString& programFolder, const QString& currentFolder);
// The demo kiosk's configuration that ./demo.sh writes beside that store
// (demo-data/kiosk.conf), read by `kiosk --demo` unless another file is named.
// Empty when there is no demo store or no such file beside it.
QString findDemoConfig(const QString& programFolder, const QString& currentFolder);
// What to tell someone who has no demo store: the command that creates it.
QString demoStoreMissing(const QString& programFolder, const QString& currentFolder);

// An SQLite store must exist before the kiosk opens it: opening a missing file
// would create an empty store, and the kiosk would then fail on missing tables
// or, worse, show a consumer nothing. Throws a KioskError naming the file and
// the command that creates it. Other engines are left to their server.
void requireExistingStore(const QString& connectionString);
} // namespace StoreLocator
