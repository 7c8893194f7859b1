#include "ConsumerDirectory.h"

#include "ClientDataSet.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "StatementFile.h"

namespace ConsumerDirectory
{
DataPacket consumerPacket(const QString& connectionString, const QString& consumerCode)
{
    std::optional<DataPacket> packet = findConsumer(connectionString, consumerCode);
    if (!packet)
        throw KioskError(QStringLiteral("consumer %1 is not in the store").arg(consumerCode));
    return *packet;
}

QString branchClient(const QString& dataFolder)
{
    const QString path = dataFolder + QStringLiteral("/PARAMETROSZEL.CDS");
    ClientDataSet parameters(QStringLiteral("cdsParametrosZel"));
    try {
        parameters.loadFromFile(path);
        parameters.open();
        parameters.first();
        const QString client =
            parameters.isEmpty() ? QString() : parameters.fieldByName(QStringLiteral("CDCLIENTE")).asString();
        if (client.trimmed().isEmpty())
            throw KioskError(QStringLiteral("no client (CDCLIENTE) in the parameters file"));
        return client;
    } catch (const std::exception& e) {
        throw KioskError(QStringLiteral("%1: the branch's client is unknown, no consumer can be looked up: %2")
                             .arg(path, QString::fromUtf8(e.what())));
    }
}

std::optional<DataPacket> findConsumer(const QString& connectionString, const QString& consumerCode)
{
    const QString client = branchClient(HostConfig::instance().programFolder());
    SqlConnection connection(QStringLiteral("kioskConsumers"));
    connection.setConnectionString(connectionString);
    connection.open();
    SqlQuery query(QStringLiteral("consumer"), &connection);
    query.setStatement(StatementFile::load(QStringLiteral(":/sql/adqConsumidorCodigo.sql")));
    query.setFieldDefs({FieldDef::make(QStringLiteral("CDCLIENTE"), FieldType::String, 21),
                        FieldDef::make(QStringLiteral("CDCONSUMIDOR"), FieldType::String, 21),
                        FieldDef::make(QStringLiteral("NMCONSUMIDOR"), FieldType::String, 60)});
    query.paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(client);
    query.paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumerCode);
    query.open();
    if (query.eof())
        return std::nullopt;
    return query.packet();
}

QList<std::pair<QString, QString>> listConsumers(const QString& connectionString, int limit)
{
    SqlConnection connection(QStringLiteral("kioskConsumerList"));
    connection.setConnectionString(connectionString);
    connection.open();
    SqlQuery query(QStringLiteral("consumers"), &connection);
    query.setStatement(StatementFile::load(QStringLiteral(":/sql/adqConsumidores.sql")));
    query.setFieldDefs({FieldDef::make(QStringLiteral("CDCONSUMIDOR"), FieldType::String, 21),
                        FieldDef::make(QStringLiteral("NMCONSUMIDOR"), FieldType::String, 60)});
    query.open();
    QList<std::pair<QString, QString>> consumers;
    const DataPacket packet = query.packet();
    for (const QVariantList& row : packet.rows()) {
        if (consumers.size() >= limit)
            break;
        consumers.append({row.value(0).toString(), row.value(1).toString()});
    }
    return consumers;
}
} // namespace ConsumerDirectory
