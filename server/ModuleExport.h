#pragma once

// What the loadable module exports: the entry, the server functions and the two instances.
#define KVB_EXPORT __attribute__((visibility("default")))
