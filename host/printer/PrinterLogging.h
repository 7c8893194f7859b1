#pragma once

#include "HostExport.h"

#include <QLoggingCategory>

// The receipt printer's own log category ("kiosk.printer"): ports, receipts, coupon counters.
HOST_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcPrinting)
