#pragma once

#include "DataPacket.h"

// Persistent fields of the screen's data sets that have them.
namespace RecSaldoDataSets {
// The cash movement packet sent to setGravaCompCred: 31 fields.
QList<FieldDef> movCaixaFields();
// The receipt-type configuration (ConfTipoRece.cds): 35 fields.
QList<FieldDef> confTipoReceFields();
} // namespace RecSaldoDataSets
