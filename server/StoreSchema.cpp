#include "StoreSchema.h"

#include "KioskError.h"
#include "Logging.h"
#include "ServerModule.h"
#include "SqlConnection.h"
#include "SqlScript.h"

#include <QFile>

namespace {
QString script(const QString& path)
{
    ServerModule::initResources();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("%1: script missing from the module").arg(path));
    return QString::fromUtf8(f.readAll());
}

void runAtomically(SqlConnection& c, const QString& path)
{
    c.beginTrans();
    try {
        SqlScript::run(c, script(path), path.mid(2));
        c.commitTrans();
    } catch (...) {
        try {
            c.rollbackTrans();
        } catch (const std::exception& e) {
            // The script's own failure is what the technician needs to see.
            qCWarning(lcServer).noquote() << path.mid(2) << ": rollback failed too:" << e.what();
        }
        throw;
    }
}
} // namespace

namespace StoreSchema {
void create(SqlConnection& c)
{
    const QString kind = c.kind();
    if (kind == QLatin1String("SQLITE")) {
        runAtomically(c, QStringLiteral(":/database/sqlite/schema.sql"));
    } else if (kind == QLatin1String("POSTGRESQL")) {
        runAtomically(c, QStringLiteral(":/database/postgresql/schema.sql"));
        runAtomically(c, QStringLiteral(":/database/postgresql/atualiza_saldo_cons_fkb.sql"));
    } else if (kind == QLatin1String("MSSQL") || kind == QLatin1String("ORACLE")) {
        // DDL commits on its own on these engines: the script runs statement by statement.
        SqlScript::run(c, script(QStringLiteral(":/database/%1/schema.sql").arg(kind.toLower())),
                       QStringLiteral("database/%1/schema.sql").arg(kind.toLower()));
    } else {
        throw KioskError(QStringLiteral("no store schema for the database kind \"%1\"").arg(kind));
    }
}

void loadDemoData(SqlConnection& c)
{
    runAtomically(c, QStringLiteral(":/database/demo/demo.sql"));
}
} // namespace StoreSchema
