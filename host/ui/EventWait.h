#pragma once

#include "HostExport.h"

#include <QtGlobal>

#include <functional>

// Waits on the user-interface thread while the screen's events keep flowing: a
// local event loop that sleeps until an event or a timer arrives, so handlers run
// nested inside the wait in their usual order without the wait pinning a core.
// Time is read from Clock::instance(), so tests move it by hand.
namespace EventWait {
// Processes events until `done` returns true (checked before each sleep).
HOST_EXPORT void until(const std::function<bool()>& done);
// Processes events until `ms` milliseconds have passed by the clock, or `stopEarly`
// (when given) returns true.
HOST_EXPORT void forMs(qint64 ms, const std::function<bool()>& stopEarly = {});
} // namespace EventWait
