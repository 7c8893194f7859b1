#pragma once

#include "HostExport.h"

// Waits on the kiosk's thread while its events keep flowing (timers, painting, input):
// the pause between a purchase's recording attempts, the stand-in card holder's time.
namespace EventPause
{
HOST_EXPORT void forMs(int ms);
} // namespace EventPause
