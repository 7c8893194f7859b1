#pragma once

#include "HostExport.h"
#include "SqlParameters.h"

#include <functional>

class SqlConnection;

// Stored procedures for engines that have none (the embedded SQLite store): a
// C++ body registered under the procedure's name, run on the caller's connection.
namespace NativeProcedures {
using Body = std::function<void(SqlConnection& connection, const SqlParameters& params)>;
HOST_EXPORT void add(const QString& name, Body body);
HOST_EXPORT const Body* find(const QString& name);
} // namespace NativeProcedures
