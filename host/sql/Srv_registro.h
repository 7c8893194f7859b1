#pragma once

#include "HostExport.h"

#include <QString>

// Which database engine the installation uses.
namespace Srv_registro {
// "ORACLE", "MSSQL", "POSTGRESQL" or "SQLITE": the engine of the installation's connection string.
HOST_EXPORT QString _UsedDatabase(const QString& unused);
// Tests force an answer (also one no engine gives, such as "oracle"); an empty override clears it.
HOST_EXPORT void setUsedDatabaseOverride(const QString& answer, bool active = true);
} // namespace Srv_registro
