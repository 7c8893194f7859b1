#include "ConsumerDirectory.h"

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

std::optional<DataPacket> findConsumer(const QString& connectionString, const QString& consumerCode)
{
    SqlConnection connection(QStringLiteral("kioskConsumers"));
    connection.setConnectionString(connectionString);
    connection.open();
    SqlQuery query(QStringLiteral("consumer"), &connection);
    query.setStatement(StatementFile::load(QStringLiteral(":/sql/adqConsumidorCodigo.sql")));
    query.setFieldDefs({FieldDef::make(QStringLiteral("CDCLIENTE"), FieldType::String, 21),
                        FieldDef::make(QStringLiteral("CDCONSUMIDOR"), FieldType::String, 21),
                        FieldDef::make(QStringLiteral("NMCONSUMIDOR"), FieldType::String, 60)});
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
