#pragma once

#include <QtGlobal>

// Figures of the running process for the start-up and idle benchmarks.
namespace ProcessFigures {
// Milliseconds since the process was launched: from KIOSK_LAUNCH_NS (CLOCK_MONOTONIC
// nanoseconds taken by the benchmark just before it started the process) when set,
// else from the kernel's start time of the process (10 ms resolution).
double millisecondsSinceLaunch();
// Resident set size now and at its peak, in KiB (VmRSS, VmHWM of /proc/self/status).
qint64 residentKb();
qint64 peakResidentKb();
// User plus system CPU time used so far, in milliseconds.
double cpuMilliseconds();
// CLOCK_MONOTONIC in nanoseconds, the clock KIOSK_LAUNCH_NS is read on.
qint64 monotonicNanoseconds();
} // namespace ProcessFigures
