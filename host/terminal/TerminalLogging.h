#pragma once

#include "HostExport.h"

#include <QLoggingCategory>

HOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcTerminal)
