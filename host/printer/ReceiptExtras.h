#pragma once

#include "HostExport.h"

#include <QString>

namespace Wst00001
{

// What the credit receipt prints beyond the arguments of Compr_CredPessoal, whose
// list is fixed. The caller sets it just before the call; the call takes it and
// leaves it empty, so it never reaches a later receipt. One purchase prints at a
// time in a kiosk, so one value serves the process, whichever thread prints.
struct ReceiptExtras {
    QString familyName; // the balance family credited, as the consumer chose it
};

HOST_EXPORT void setReceiptExtras(const ReceiptExtras& extras);
// What was set since the last receipt, and empties it.
HOST_EXPORT ReceiptExtras takeReceiptExtras();

} // namespace Wst00001
