#pragma once

#include "HostExport.h"

#include <QStringList>

class SqlConnection;

// Splits a DDL script into the statements a driver runs one at a time and runs
// them in order: ";" ends a statement (quoted and dollar-quoted text kept whole);
// a script with "GO" lines is a list of T-SQL batches; in a script with "/" lines
// a PL/SQL unit runs to its "/" line.
namespace SqlScript {
HOST_EXPORT QStringList split(const QString& script);
HOST_EXPORT void run(SqlConnection& connection, const QString& script, const QString& origin);
} // namespace SqlScript
