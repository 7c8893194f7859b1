#pragma once

#include "ModuleExport.h"

class SqlConnection;

// Creates the store tables (and the balance procedure on server engines), brings an
// older store up to the current schema version step by step, and loads the demo branch,
// from the scripts the module carries. The store records every version it went through
// in VERSAOESQUEMA; a store without that table but with the tables is version 1.
namespace StoreSchema
{
// The version the scripts of this build create.
constexpr int currentVersion = 2;

// Creates what is missing and runs each upgrade step the store has not had, recording
// each; running it again on a current store changes nothing. Refuses a store whose
// recorded version is newer than this build knows, before changing anything.
KVB_EXPORT void create(SqlConnection& connection);
// The store's schema version: 0 when it has no store tables, 1 when it has them but no
// version record, else the highest version recorded.
KVB_EXPORT int storedVersion(SqlConnection& connection);
KVB_EXPORT void loadDemoData(SqlConnection& connection);
} // namespace StoreSchema
