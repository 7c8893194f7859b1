#pragma once

#include "DataPacket.h"

// The host's own consumer table: builds the packet handed to the recharge
// module (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) for a consumer code.
namespace ConsumerDirectory {
// Throws KioskError when the store cannot be read or holds no such consumer.
DataPacket consumerPacket(const QString& connectionString, const QString& consumerCode);
} // namespace ConsumerDirectory
