#pragma once

#include "HostExport.h"

#include <QDateTime>
#include <QString>

// Date-times travel as a day count since 1899-12-30, the fraction being the
// time of day. These helpers convert to and from Qt's types; the zone is ignored
// (the store keeps local wall-clock times).
namespace DateTimeValue {
HOST_EXPORT double fromDateTime(const QDateTime& dt);
HOST_EXPORT double fromDate(const QDate& d);
// The day count of a wall-clock date and time, whatever the machine's time zone.
HOST_EXPORT double fromWallClock(const QDate& date, const QTime& time);
HOST_EXPORT QDateTime toDateTime(double days);
HOST_EXPORT double dateOnly(double days);
HOST_EXPORT double now();
// "yyyy-MM-dd HH:mm:ss.zzz": the text form the embedded engine stores and compares.
HOST_EXPORT QString toIsoText(double days);
// Reads ISO date or date-time text (with 'T' or blank); returns false when it is not one.
HOST_EXPORT bool parseIsoText(const QString& text, double* days);
} // namespace DateTimeValue
