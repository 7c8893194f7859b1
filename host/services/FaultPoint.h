#pragma once

#include "HostExport.h"

// Named places where a test may kill the kiosk as abruptly as a power cut would.
// When the environment variable KIOSK_TEST_KILL_AT names the point being passed, the
// process sends itself SIGKILL there: nothing is flushed, closed or rolled back, so a
// test sees exactly what a crash at that moment leaves behind. The variable is read
// once; without it a hit costs one comparison of a cached flag.
namespace FaultPoint
{
HOST_EXPORT void hit(const char* name);
} // namespace FaultPoint
