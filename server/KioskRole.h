#pragma once

#include "ModuleExport.h"

#include <QString>

class SqlConnection;

// The store's two roles: its owner creates and upgrades it (kioskctl init-db); a kiosk's role
// only sells, recovers and reports. grant() gives a role exactly what a kiosk needs, run on the
// owner's connection; the balance procedure writes balances with the owner's rights.
namespace KioskRole
{
// PostgreSQL: grants (after taking back whatever the role held on the store's tables). SQL
// Server and Oracle: refused, naming the script for the database administrator; SQLite: refused
// (a store file has no roles: its file permissions decide who writes it).
KVB_EXPORT void grant(SqlConnection& owner, const QString& role);
} // namespace KioskRole
