#include "StoreSchema.h"

#include "ClientDataSet.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "Logging.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlScript.h"
#include "StatementFile.h"

#include <QFile>
#include <QSqlDatabase>

namespace
{
QString script(const QString& path)
{
    ServerModule::initResources();
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("%1: script missing from the module").arg(path));
    return QString::fromUtf8(f.readAll());
}

// Runs `work` in one transaction: all of it or nothing.
template <class Work> void atomically(SqlConnection& c, Work work)
{
    c.beginTrans();
    try {
        work();
        c.commitTrans();
    } catch (...) {
        try {
            c.rollbackTrans();
        } catch (const std::exception& e) {
            // The original failure is what the technician needs to see.
            qCWarning(lcServer).noquote() << "store schema: rollback failed too:" << e.what();
        }
        throw;
    }
}

void runScript(SqlConnection& c, const QString& path)
{
    SqlScript::run(c, script(path), path.mid(2));
}

void runAtomically(SqlConnection& c, const QString& path)
{
    atomically(c, [&] { runScript(c, path); });
}

StatementFile statement(const QString& name)
{
    ServerModule::initResources();
    return StatementFile::load(QStringLiteral(":/sql/") + name);
}

bool hasTable(SqlConnection& c, const QString& name)
{
    const QStringList tables = c.database().tables();
    for (const QString& t : tables)
        if (t.compare(name, Qt::CaseInsensitive) == 0 || t.endsWith(QLatin1Char('.') + name, Qt::CaseInsensitive))
            return true;
    return false;
}

void recordVersion(SqlConnection& c, int version, const QString& description)
{
    SqlCommand insert(QStringLiteral("acmInsVersaoEsquema"), &c);
    insert.setStatement(statement(QStringLiteral("acmInsVersaoEsquema.sql")));
    insert.paramByName(QStringLiteral("NRVERSAOESQ")).setAsInteger(version);
    insert.paramByName(QStringLiteral("DSVERSAOESQ")).setAsString(description);
    insert.paramByName(QStringLiteral("DTHRAPLICESQ")).setAsDateTime(DateTimeValue::now());
    insert.execute();
}

// What each step changes, recorded with its version. Step n takes a store from version n-1
// to n through database/<engine>/schema-n.sql.
QString stepDescription(int version)
{
    switch (version) {
    case 2:
        return QStringLiteral("NSU único por caixa, data do movimento e tipo de movimento");
    default:
        return QStringLiteral("versão %1").arg(version);
    }
}

// Engines whose DDL is transactional: the whole creation or upgrade commits at once.
bool transactionalDdl(const QString& kind)
{
    return kind == QLatin1String("SQLITE") || kind == QLatin1String("POSTGRESQL");
}
} // namespace

namespace StoreSchema
{
int storedVersion(SqlConnection& c)
{
    c.open();
    if (!hasTable(c, QStringLiteral("VERSAOESQUEMA")))
        return hasTable(c, QStringLiteral("MOVCAIXA")) ? 1 : 0;
    SqlQuery q(QStringLiteral("adqVersaoEsquema"), &c);
    q.setStatement(statement(QStringLiteral("adqVersaoEsquema.sql")));
    q.open();
    const Field v = q.fieldByName(QStringLiteral("NRVERSAOESQ"));
    // A version table left empty (a creation interrupted on an engine without transactional DDL)
    // says nothing: the tables themselves are at least version 1.
    return v.isNull() ? 1 : int(v.asInteger());
}

void create(SqlConnection& c)
{
    const QString kind = c.kind();
    const QString folder = QStringLiteral(":/database/%1/").arg(kind.toLower());
    const bool knownKind = kind == QLatin1String("SQLITE") || kind == QLatin1String("POSTGRESQL") ||
                           kind == QLatin1String("MSSQL") || kind == QLatin1String("ORACLE");
    if (!knownKind)
        throw KioskError(QStringLiteral("no store schema for the database kind \"%1\"").arg(kind));

    const auto upgrade = [&] {
        const int found = storedVersion(c);
        if (found > currentVersion)
            throw KioskError(QStringLiteral("the store's schema is version %1, newer than this program knows (%2): "
                                            "nothing was changed")
                                 .arg(found)
                                 .arg(currentVersion));
        if (found == 0) {
            // A new store gets the current schema at once.
            runScript(c, folder + QStringLiteral("schema.sql"));
            recordVersion(c, currentVersion, QStringLiteral("criação do esquema"));
        } else {
            // Steps first: the scripts below only add what is missing, never undo a step.
            for (int version = found + 1; version <= currentVersion; ++version) {
                runScript(c, folder + QStringLiteral("schema-%1.sql").arg(version));
                recordVersion(c, version, stepDescription(version));
                qCInfo(lcServer).noquote() << "store schema upgraded to version" << version;
            }
            // Tables added without a step, and the procedures' current bodies.
            if (transactionalDdl(kind))
                runScript(c, folder + QStringLiteral("schema.sql"));
        }
        if (kind == QLatin1String("POSTGRESQL")) {
            runScript(c, QStringLiteral(":/database/postgresql/atualiza_saldo_cons_fkb.sql"));
            runScript(c, QStringLiteral(":/database/postgresql/kiosk_role.sql"));
        }
    };

    if (!transactionalDdl(kind)) {
        // DDL commits on its own on these engines: the scripts run statement by statement.
        c.open();
        upgrade();
        return;
    }
    // The version is read inside the transaction that upgrades, and two init-db at once queue:
    // the embedded store's write lock is taken when the transaction begins, the server's by a
    // transaction-scoped lock of its own. The second then finds the store current.
    c.open();
    atomically(c, [&] {
        if (kind == QLatin1String("POSTGRESQL"))
            c.execDirect(QStringLiteral("SELECT pg_advisory_xact_lock(hashtext('VERSAOESQUEMA'))"),
                         QStringLiteral("store schema lock"));
        upgrade();
    });
}

void loadDemoData(SqlConnection& c)
{
    runAtomically(c, QStringLiteral(":/database/demo/demo.sql"));
}
} // namespace StoreSchema
