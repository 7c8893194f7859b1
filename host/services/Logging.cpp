#include "Logging.h"

Q_LOGGING_CATEGORY(lcServer, "kiosk.server")
Q_LOGGING_CATEGORY(lcScreen, "kiosk.screen")
Q_LOGGING_CATEGORY(lcHost, "kiosk.host")
Q_LOGGING_CATEGORY(lcSql, "kiosk.sql", QtWarningMsg)
