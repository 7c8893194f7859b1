#pragma once

#include "HostExport.h"

#include <QString>
#include <exception>

class SqlConnection;

// Connection services of the host library.
namespace Geralzel {
// The installation's connection string; throws ConfigError when none is configured.
HOST_EXPORT QString _GetStringConexZel(const QString& unused);
} // namespace Geralzel

namespace Zel_vandril {
// Told of every freshly opened connection: names the session in the server's activity list.
HOST_EXPORT void SetADODBSession(SqlConnection& connection);
// Opens the connection; false (and a log line) when it could not.
HOST_EXPORT bool TryConnect(SqlConnection& connection);
// The readable text of a failure: which operation, what the database said. Never a password.
HOST_EXPORT QString ADOExceptionMessage(const std::exception& error, SqlConnection* connection,
                                        const QString& extra);
} // namespace Zel_vandril

namespace Srv_registro {
// "ORACLE", "MSSQL", "POSTGRESQL" or "SQLITE": the engine of the installation's connection string.
HOST_EXPORT QString _UsedDatabase(const QString& unused);
// Tests force an answer (also one no engine gives, such as "oracle"); an empty override clears it.
HOST_EXPORT void setUsedDatabaseOverride(const QString& answer, bool active = true);
} // namespace Srv_registro
