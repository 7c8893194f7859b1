#include "KioskRole.h"

#include "KioskError.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "StatementFile.h"

#include <QRegularExpression>

namespace KioskRole
{
void grant(SqlConnection& owner, const QString& role)
{
    owner.open();
    const QString kind = owner.kind();
    if (kind == QLatin1String("MSSQL") || kind == QLatin1String("ORACLE"))
        throw KioskError(QStringLiteral("on %1 the database administrator grants a kiosk's rights with "
                                        "database/%2/grant-kiosk.sql")
                             .arg(kind, kind.toLower()));
    if (kind != QLatin1String("POSTGRESQL"))
        throw KioskError(
            QStringLiteral("a %1 store has no roles: its file's permissions decide who writes it").arg(kind));
    // PostgreSQL role names as a technician types them; the server quotes the name itself.
    static const QRegularExpression name(QStringLiteral("^[A-Za-z_][A-Za-z0-9_$-]{0,62}$"));
    if (!name.match(role).hasMatch())
        throw KioskError(QStringLiteral("\"%1\" is not a role name").arg(role));
    ServerModule::initResources();
    SqlCommand grantRole(QStringLiteral("acmConcedePapelQuiosque"), &owner);
    grantRole.setStatement(StatementFile::load(QStringLiteral(":/sql/acmConcedePapelQuiosque.sql")));
    grantRole.paramByName(QStringLiteral("P_PAPEL")).setAsString(role);
    grantRole.execute();
}
} // namespace KioskRole
