#include "Zel_vandril.h"

#include "ConnectionString.h"
#include "KioskError.h"
#include "Logging.h"
#include "SqlConnection.h"

#include <QCoreApplication>

namespace Zel_vandril {
void SetADODBSession(SqlConnection& connection)
{
    if (connection.kind() == QLatin1String("POSTGRESQL"))
        connection.execDirect(QStringLiteral("SET application_name = 'kiosk'"));
    qCInfo(lcHost) << "database session open:" << connection.objectName()
                   << ConnectionString(connection.connectionString()).redacted();
}

bool TryConnect(SqlConnection& connection)
{
    try {
        connection.open();
        return true;
    } catch (const KioskError& e) {
        qCWarning(lcHost) << "connection failed:" << e.message();
        return false;
    }
}

QString ADOExceptionMessage(const std::exception& error, SqlConnection*, const QString& extra)
{
    QString text;
    if (const auto* sql = dynamic_cast<const SqlError*>(&error))
        text = QCoreApplication::translate("Zel_vandril", "Falha no banco de dados (%1): %2")
                   .arg(sql->operation(), sql->databaseText());
    else if (const auto* k = dynamic_cast<const KioskError*>(&error))
        text = k->message();
    else
        text = QString::fromUtf8(error.what());
    if (!extra.isEmpty())
        text += QLatin1Char(' ') + extra;
    return text;
}
} // namespace Zel_vandril
