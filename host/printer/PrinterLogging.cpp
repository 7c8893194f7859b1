#include "PrinterLogging.h"

Q_LOGGING_CATEGORY(lcPrinting, "kiosk.printer")
