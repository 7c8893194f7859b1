#pragma once

#include "DataPacket.h"

#include <QList>
#include <optional>
#include <utility>

// The host's own consumer table: builds the packet handed to the recharge
// module (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) for a consumer code.
namespace ConsumerDirectory
{
// Throws KioskError when the store cannot be read or holds no such consumer.
DataPacket consumerPacket(const QString& connectionString, const QString& consumerCode);
// The packet, or nothing when the store holds no such consumer; throws KioskError
// when the store cannot be read.
std::optional<DataPacket> findConsumer(const QString& connectionString, const QString& consumerCode);
// The first `limit` consumers by code (code, name): the demo kiosk lists them.
QList<std::pair<QString, QString>> listConsumers(const QString& connectionString, int limit);
} // namespace ConsumerDirectory
