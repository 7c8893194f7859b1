#pragma once

#include "KioskStatus.h"

#include <optional>

// The printer settings `kioskctl status` refuses or warns about before it probes the printer:
// a target that can never print (a folder, a /proc path, a path the kiosk may not write), one
// that throws receipts away (/dev/null), and a counters file that is not the kiosk's own.
// Empty when the settings are sound and the probe decides.
std::optional<KioskStatus::Check> printerSettingsCheck(const QString& target);
