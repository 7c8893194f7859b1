#include "SqlConnection.h"

#include "ConnectionString.h"
#include "KioskError.h"
#include "Logging.h"

#include <QAtomicInteger>
#include <QSqlError>
#include <QSqlQuery>

namespace {
QAtomicInteger<quint64> nextId;
} // namespace

QString SqlConnection::errorText(const QSqlError& e)
{
    QString t = e.databaseText().trimmed();
    const QString d = e.driverText().trimmed();
    if (t.isEmpty())
        return d;
    if (!d.isEmpty() && !t.contains(d))
        t = d + QStringLiteral(" (") + t + QLatin1Char(')');
    return t;
}

SqlConnection::SqlConnection(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
    m_qtName = QStringLiteral("kiosk-%1-%2").arg(name).arg(nextId.fetchAndAddRelaxed(1));
}

SqlConnection::~SqlConnection()
{
    close();
}

QSqlDatabase SqlConnection::database() const
{
    return QSqlDatabase::database(m_qtName, false);
}

bool SqlConnection::connected() const
{
    return QSqlDatabase::contains(m_qtName) && database().isOpen();
}

void SqlConnection::setConnectionString(const QString& text)
{
    m_connectionString = text;
    m_kind = ConnectionString(text).kind();
}

void SqlConnection::open()
{
    if (connected())
        return;
    if (beforeConnect)
        beforeConnect(*this);
    const ConnectionString cs(m_connectionString);
    const QString operation = QStringLiteral("%1: connect to %2").arg(objectName(), cs.redacted());
    const QString driver = cs.qtDriver();
    if (driver.isEmpty())
        throw SqlError(operation, QStringLiteral("the connection string names no known provider"));
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_qtName);
        if (!db.isValid())
            throw SqlError(operation, QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver));
        if (driver == QLatin1String("QSQLITE")) {
            db.setDatabaseName(cs.value(QStringLiteral("Data Source"), cs.value(QStringLiteral("Database"))));
            db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        } else if (driver == QLatin1String("QPSQL")) {
            db.setHostName(cs.value(QStringLiteral("Host"), cs.value(QStringLiteral("Server"), QStringLiteral("localhost"))));
            db.setPort(cs.value(QStringLiteral("Port"), QStringLiteral("5432")).toInt());
            db.setDatabaseName(cs.value(QStringLiteral("Database"), cs.value(QStringLiteral("Initial Catalog"))));
            db.setUserName(cs.value(QStringLiteral("User ID"), cs.value(QStringLiteral("User"))));
            db.setPassword(cs.value(QStringLiteral("Password")));
            db.setConnectOptions(QStringLiteral("connect_timeout=10"));
        } else {
            db.setDatabaseName(cs.odbcConnectString());
        }
        if (!db.open()) {
            const QString text = errorText(db.lastError());
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_qtName);
            throw SqlError(operation, text);
        }
    }
    if (kind() == QLatin1String("SQLITE")) {
        // WAL lets readers run beside the one writer; FULL makes every commit durable.
        execDirect(QStringLiteral("PRAGMA journal_mode=WAL"));
        execDirect(QStringLiteral("PRAGMA synchronous=FULL"));
        // Years of statement lines make a large file: map it and keep the hot index pages cached.
        execDirect(QStringLiteral("PRAGMA mmap_size=2147418112"));
        execDirect(QStringLiteral("PRAGMA cache_size=-32768"));
    }
    ++m_generation;
    m_inTransaction = false;
    qCDebug(lcSql) << "connected" << objectName() << cs.redacted();
    if (afterConnect)
        afterConnect(*this);
}

void SqlConnection::close()
{
    if (!QSqlDatabase::contains(m_qtName))
        return;
    {
        QSqlDatabase db = database();
        if (m_inTransaction && db.isOpen())
            db.rollback();
        db.close();
    }
    QSqlDatabase::removeDatabase(m_qtName);
    m_inTransaction = false;
    ++m_generation;
}

void SqlConnection::beginTrans()
{
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw SqlError(objectName() + QStringLiteral(": begin transaction"), QStringLiteral("not connected"));
    if (!db.transaction())
        throw SqlError(objectName() + QStringLiteral(": begin transaction"), errorText(db.lastError()));
    m_inTransaction = true;
}

void SqlConnection::commitTrans()
{
    QSqlDatabase db = database();
    const bool ok = db.commit();
    m_inTransaction = false;
    if (!ok)
        throw SqlError(objectName() + QStringLiteral(": commit"), errorText(db.lastError()));
}

void SqlConnection::rollbackTrans()
{
    QSqlDatabase db = database();
    const bool ok = db.rollback();
    m_inTransaction = false;
    if (!ok)
        throw SqlError(objectName() + QStringLiteral(": rollback"), errorText(db.lastError()));
}

void SqlConnection::execDirect(const QString& sql, const QString& operation)
{
    QSqlQuery q(database());
    if (!q.exec(sql))
        throw SqlError(operation.isEmpty() ? objectName() : operation, errorText(q.lastError()));
}
