#pragma once

// Symbols of the host library are hidden unless marked; the module and the
// host program only see what is exported here.
#define HOST_EXPORT __attribute__((visibility("default")))
