#include "TerminalLogging.h"

Q_LOGGING_CATEGORY(lcTerminal, "kiosk.terminal")
Q_LOGGING_CATEGORY(lcPrinter, "kiosk.printer")
