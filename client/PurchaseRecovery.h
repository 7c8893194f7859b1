#pragma once

#include "ModuleExport.h"
#include "PurchaseSettlement.h"

#include <utility>

// Settles a kiosk's purchase journal against the store and the payment terminal:
// what the kiosk runs at start and what a technician runs with `kioskctl recover`.
// Needs the data module (a server session) to be open.
namespace PurchaseRecovery
{
KVB_EXPORT QList<PurchaseSettlement::Result> settleJournal(const QString& journalFile);
// Branch and till of this kiosk, from the parameters file of its data folder (the
// configured one when empty); empty when there is none.
KVB_EXPORT std::pair<QString, QString> kioskTill(const QString& dataFolder = QString());
} // namespace PurchaseRecovery
