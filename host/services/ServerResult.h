#pragma once

#include "HostExport.h"

#include <QString>
#include <QVariant>

// A server function's result as the host takes it over: a packet (or nothing) is a
// success; a failure text is logged with the method, caller and arguments that led to
// it. Where the failure is shown, if at all, is the caller's business.
namespace ServerResult
{
// True when `result` is a failure text (then logged).
HOST_EXPORT bool logFailure(const QVariant& result, const QString& method, const QString& caller,
                            const QString& arguments, const QString& schema);
} // namespace ServerResult
