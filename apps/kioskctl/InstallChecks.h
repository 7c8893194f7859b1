#pragma once

#include "KioskStatus.h"

#include <optional>

// What `kioskctl status` checks of the kiosk's installation, beside the store and the
// devices: each failure names what is missing and the command that fixes it.
namespace InstallChecks
{
// The local files a purchase needs: PARAMETROSZEL.CDS in the data folder, the
// receipt-type file under the folder its DSDIRCAD names, and a printer counters'
// folder the kiosk can write.
KioskStatus::Check localFiles(const QString& dataFolder);
// For the installed kiosk's configuration, with systemd running: whether kiosk.service
// can start (its configuration and programs are there) and is running. Nothing elsewhere.
std::optional<KioskStatus::Check> service();
} // namespace InstallChecks
