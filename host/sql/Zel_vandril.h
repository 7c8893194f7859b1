#pragma once

#include "HostExport.h"

#include <QString>
#include <exception>

class SqlConnection;

// Connection services of the host library: session naming, opening, failure texts.
namespace Zel_vandril {
// Told of every freshly opened connection: names the session in the server's activity list.
HOST_EXPORT void SetADODBSession(SqlConnection& connection);
// Opens the connection; false (and a log line) when it could not.
HOST_EXPORT bool TryConnect(SqlConnection& connection);
// The readable text of a failure: which operation, what the database said. Never a password.
HOST_EXPORT QString ADOExceptionMessage(const std::exception& error, SqlConnection* connection,
                                        const QString& extra);
} // namespace Zel_vandril
