#include "TestStore.h"

#include "HostConfig.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "StoreSchema.h"

#include <QCoreApplication>
#include <QSqlQuery>
#include <QUuid>

namespace {
void adminExec(const QString& admin, const QString& sql)
{
    SqlConnection c(QStringLiteral("testAdmin"));
    c.setConnectionString(admin);
    c.open();
    c.execDirect(sql);
}
} // namespace

QString TestStore::engineUnderTest()
{
    const QString e = qEnvironmentVariable("KIOSK_TEST_ENGINE").toUpper();
    return e.isEmpty() ? QStringLiteral("SQLITE") : e;
}

TestStore::TestStore(const QString& engine) : m_engine(engine)
{
    if (engine == QLatin1String("SQLITE")) {
        m_connectionString = QStringLiteral("Provider=SQLITE;Data Source=") + m_dir.filePath(QStringLiteral("store.db"));
    } else if (engine == QLatin1String("POSTGRESQL")) {
        m_pgAdmin = qEnvironmentVariable("KIOSK_TEST_PG");
        if (m_pgAdmin.isEmpty())
            throw KioskError(QStringLiteral("KIOSK_TEST_PG is not set: run the tests through ./test.sh"));
        // Database names must be unique across test processes running side by side.
        m_pgDatabase = QStringLiteral("kiosk_test_") +
                       QUuid::createUuid().toString(QUuid::Id128).left(16);
        adminExec(m_pgAdmin, QStringLiteral("CREATE DATABASE ") + m_pgDatabase);
        m_connectionString = QString(m_pgAdmin).replace(QStringLiteral("Database=postgres"),
                                                        QStringLiteral("Database=") + m_pgDatabase);
    } else {
        throw KioskError(QStringLiteral("unknown test engine ") + engine);
    }
    HostConfig::instance().setConnectionString(m_connectionString);
}

TestStore::~TestStore()
{
    m_connection.reset();
    if (!m_pgDatabase.isEmpty()) {
        try {
            adminExec(m_pgAdmin, QStringLiteral("DROP DATABASE IF EXISTS ") + m_pgDatabase + QStringLiteral(" WITH (FORCE)"));
        } catch (const KioskError& e) {
            qWarning("could not drop %s: %s", qPrintable(m_pgDatabase), e.what());
        }
    }
}

SqlConnection& TestStore::connection()
{
    if (!m_connection) {
        m_connection = std::make_unique<SqlConnection>(QStringLiteral("testStore"));
        m_connection->setConnectionString(m_connectionString);
        m_connection->open();
    }
    return *m_connection;
}

void TestStore::createSchema()
{
    StoreSchema::create(connection());
}

void TestStore::exec(const QString& sql)
{
    connection().execDirect(sql, QStringLiteral("test setup"));
}

QVariant TestStore::scalar(const QString& sql)
{
    QSqlQuery q(connection().database());
    if (!q.exec(sql) || !q.next())
        throw KioskError(QStringLiteral("test query failed: ") + sql);
    return q.value(0);
}

int TestStore::count(const QString& sqlFromWhere)
{
    return scalar(QStringLiteral("SELECT COUNT(*) ") + sqlFromWhere).toInt();
}
