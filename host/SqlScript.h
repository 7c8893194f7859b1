#pragma once

#include "HostExport.h"

#include <QStringList>

class SqlConnection;

// Splits a DDL script into statements (";" at the end of a statement, a line
// "GO", dollar-quoted and quoted text kept whole) and runs them in order.
namespace SqlScript {
HOST_EXPORT QStringList split(const QString& script);
HOST_EXPORT void run(SqlConnection& connection, const QString& script, const QString& origin);
} // namespace SqlScript
