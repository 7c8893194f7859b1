#pragma once

#include "DataPacket.h"

// Small builders for packets used across tests.
namespace Packets {
FieldDef field(const char* name, FieldType type, int size = 0);
// The consumer record the host hands to the entry.
DataPacket consumer(const QString& client, const QString& consumer, const QString& name);
// A cash movement packet with one row per amount (31 fields, as the screen sends it).
DataPacket movement(const QList<double>& amounts, double when);
// PARAMETROSZEL.CDS content; `skip` leaves one field out.
DataPacket parameters(const QString& dsDirCad, const QString& skip = QString());
} // namespace Packets
