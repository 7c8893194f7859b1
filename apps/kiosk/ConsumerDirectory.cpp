#include "ConsumerDirectory.h"

#include "KioskError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "StatementFile.h"

namespace ConsumerDirectory
{
DataPacket consumerPacket(const QString& connectionString, const QString& consumerCode)
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
        throw KioskError(QStringLiteral("consumer %1 is not in the store").arg(consumerCode));
    return query.packet();
}
} // namespace ConsumerDirectory
