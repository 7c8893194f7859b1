#pragma once

// Symbols of the host library are hidden unless marked; the module and the
// host program only see what is exported here.
#if defined(HOSTLIB_BUILDING)
#define HOST_EXPORT __attribute__((visibility("default")))
#else
#define HOST_EXPORT __attribute__((visibility("default")))
#endif
