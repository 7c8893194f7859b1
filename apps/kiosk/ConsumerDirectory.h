#pragma once

#include "DataPacket.h"

#include <QList>
#include <optional>
#include <utility>

// The host's own consumer table: builds the packet handed to the recharge
// module (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR) for a consumer code. A store may
// serve several clients whose consumers share codes; a kiosk finds only the
// consumers of its branch's client, the client the recharge screen credits
// (CDCLIENTE of the parameters file in the kiosk's data folder, read at each look-up).
namespace ConsumerDirectory
{
// Throws KioskError when the store cannot be read or holds no such consumer.
DataPacket consumerPacket(const QString& connectionString, const QString& consumerCode);
// The packet, or nothing when the branch's client has no such consumer; throws
// KioskError when the store or the parameters file cannot be read.
std::optional<DataPacket> findConsumer(const QString& connectionString, const QString& consumerCode);
// The branch's client. Throws KioskError when the parameters file is missing,
// unreadable or names no client.
QString branchClient(const QString& dataFolder);
// The first `limit` consumers by code (code, name): the demo kiosk lists them.
QList<std::pair<QString, QString>> listConsumers(const QString& connectionString, int limit);
} // namespace ConsumerDirectory
