#pragma once
#include "HostServices.h"
