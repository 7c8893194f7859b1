#pragma once

#include "ModuleExport.h"

class SqlConnection;

// Creates the store tables (and the balance procedure on server engines) and
// loads the demo branch, from the scripts the module carries.
namespace StoreSchema {
KVB_EXPORT void create(SqlConnection& connection);
KVB_EXPORT void loadDemoData(SqlConnection& connection);
} // namespace StoreSchema
