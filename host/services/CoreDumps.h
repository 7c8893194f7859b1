#pragma once

#include "HostExport.h"

// A kiosk process may hold card data in memory; a core dump would write it to disk.
namespace CoreDumps
{
// Turns core dumps of this process off (core size limit 0, not dumpable, which also keeps
// other processes of the same user from reading its memory). True when both took; a failure is
// logged and the program goes on.
HOST_EXPORT bool forbid();
} // namespace CoreDumps
