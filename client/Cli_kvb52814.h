#pragma once

#include "ModuleExport.h"

#include <QVariant>

class TfrmRecSaldo;

namespace Cli_kvb52814 {

// The one recharge screen; set only during a call of CriaRecSaldo.
KVB_EXPORT extern TfrmRecSaldo* frmRecSaldo;

// Opens the recharge screen for the consumer in the packet's first record
// (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) and returns when it closes. Failures
// while preparing the screen go back to the caller; the screen and the data
// module are freed whatever happens.
KVB_EXPORT void CriaRecSaldo(const QVariant& Consumidor);

} // namespace Cli_kvb52814
