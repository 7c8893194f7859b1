#include "SqlConnection.h"

#include "ConnectionString.h"
#include "KioskError.h"
#include "Logging.h"

#include "Clock.h"

#include <QAtomicInteger>
#include <QElapsedTimer>
#include <QLocale>
#include <QSqlDriver>
#include <QThread>
#ifdef KIOSK_SQLITE_BUSY_HANDLER
#include <sqlite3.h>
#endif
#include <QSqlError>
#include <QSqlQuery>

namespace
{
QAtomicInteger<quint64> nextId;

std::function<void(int)>& reconnectPause()
{
    static std::function<void(int)> pause = [](int ms) { QThread::msleep(ulong(ms)); };
    return pause;
}

#ifdef KIOSK_SQLITE_BUSY_HANDLER
// Waits for the embedded store's write lock up to 10 s, looking again every
// millisecond or two: the default wait backs off to 100 ms naps, so a busy store
// hands the lock to whoever asks right after a commit and a napping writer starves.
int waitForWriteLock(void* clock, int count)
{
    auto* elapsed = static_cast<QElapsedTimer*>(clock);
    if (count == 0)
        elapsed->start();
    if (elapsed->elapsed() >= 10000)
        return 0;
    sqlite3_sleep(count < 20 ? 1 : 2);
    return 1;
}
#endif
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
    const ConnectionString cs(text);
    m_kind = cs.kind();
    m_callTimeoutMs = cs.callTimeoutMs();
}

void SqlConnection::setReconnectPause(std::function<void(int)> pause)
{
    reconnectPause() = pause ? std::move(pause) : [](int ms) { QThread::msleep(ulong(ms)); };
}

bool SqlConnection::connectOnce(const ConnectionString& cs, const QString& driver, QString* failure)
{
    if (QSqlDatabase::contains(m_qtName))
        QSqlDatabase::removeDatabase(m_qtName);
    QSqlDatabase db = QSqlDatabase::addDatabase(driver, m_qtName);
    if (driver == QLatin1String("QSQLITE")) {
        db.setDatabaseName(cs.value(QStringLiteral("Data Source"), cs.value(QStringLiteral("Database"))));
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    } else if (driver == QLatin1String("QPSQL")) {
        // Several servers go to libpq as lists: hosts in the host name, ports among the
        // options (the driver adds a port of its own only when one is set).
        db.setHostName(cs.hosts().join(QLatin1Char(',')));
        const QStringList ports = cs.ports();
        if (ports.size() == 1)
            db.setPort(ports.first().toInt());
        db.setDatabaseName(cs.value(QStringLiteral("Database"), cs.value(QStringLiteral("Initial Catalog"))));
        db.setUserName(cs.value(QStringLiteral("User ID"), cs.value(QStringLiteral("User"))));
        db.setPassword(cs.value(QStringLiteral("Password")));
        db.setConnectOptions(cs.postgresOptions());
    } else {
        db.setDatabaseName(cs.odbcConnectString());
    }
    if (db.open())
        return true;
    *failure = errorText(db.lastError());
    db = QSqlDatabase();
    QSqlDatabase::removeDatabase(m_qtName);
    return false;
}

void SqlConnection::open()
{
    if (connected())
        return;
    if (beforeConnect)
        beforeConnect(*this);
    const ConnectionString cs(m_connectionString);
    const QString operation = QStringLiteral("%1: connect to %2").arg(objectName(), cs.redacted());
    if (!cs.isValid())
        throw SqlError(operation, cs.error());
    const QString driver = cs.qtDriver();
    if (driver.isEmpty())
        throw SqlError(operation, QStringLiteral("the connection string names no known provider "
                                                 "(Provider=SQLITE, POSTGRESQL, MSSQL or ORACLE)"));
    if (!QSqlDatabase::isDriverAvailable(driver))
        throw SqlError(operation, QStringLiteral("the Qt SQL driver %1 is not installed").arg(driver));
    // While a standby is being promoted no server takes writes: keep trying for the
    // store's failover window instead of failing the call that found it gone.
    const int windowMs = cs.failoverWindowMs();
    const QDateTime start = Clock::instance().now();
    QString failure;
    struct WaitOver {
        SqlConnection* connection;
        bool waiting = false;
        ~WaitOver()
        {
            if (waiting)
                emit connection->storeWaitOver();
        }
    } waitOver{this};
    for (int attempt = 1; !connectOnce(cs, driver, &failure); ++attempt) {
        const qint64 waited = start.msecsTo(Clock::instance().now());
        // Bounded by the count as well: a clock that stands still must not keep it here.
        if (waited >= windowMs || attempt > windowMs / reconnectIntervalMs) {
            if (windowMs > 0)
                failure += QStringLiteral(" (still unreachable after %1 attempts in %2 s)")
                               .arg(attempt)
                               .arg(QLocale::c().toString(waited / 1000.0, 'f', 1));
            throw SqlError(operation, failure);
        }
        if (attempt == 1) {
            qCWarning(lcSql).noquote() << objectName() << "store unreachable, trying again for up to" << windowMs / 1000
                                       << "s:" << failure;
            waitOver.waiting = true;
            emit waitingForStore(windowMs);
        }
        reconnectPause()(int(qMin<qint64>(reconnectIntervalMs, windowMs - waited)));
    }
    if (kind() == QLatin1String("SQLITE")) {
        // WAL lets readers run beside the one writer; FULL makes every commit durable.
        execDirect(QStringLiteral("PRAGMA journal_mode=WAL"));
        execDirect(QStringLiteral("PRAGMA synchronous=FULL"));
        // Not mapped: a disk error under a mapping kills the process (SIGBUS) instead of
        // failing the call, and the benchmark shows no gain from it. Hot index pages stay cached.
        execDirect(QStringLiteral("PRAGMA mmap_size=0"));
        execDirect(QStringLiteral("PRAGMA cache_size=-32768"));
#ifdef KIOSK_SQLITE_BUSY_HANDLER
        // Replaces the driver's busy timeout (same 10 s limit).
        const QVariant handle = database().driver()->handle();
        if (qstrcmp(handle.typeName(), "sqlite3*") == 0)
            if (auto* h = *static_cast<sqlite3* const*>(handle.constData()))
                sqlite3_busy_handler(h, waitForWriteLock, &m_busyClock);
#endif
    }
    ++m_generation;
    m_inTransaction = false;
    m_lost = false;
    qCDebug(lcSql) << "connected" << objectName() << cs.redacted();
    if (afterConnect)
        afterConnect(*this);
}

void SqlConnection::close()
{
    m_lost = false;
    if (!QSqlDatabase::contains(m_qtName))
        return;
    emit closing();
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

bool SqlConnection::ensureOpen()
{
    if (m_lost)
        open();
    return connected();
}

namespace
{
bool sessionGoneState(const QString& sqlState)
{
    // 08: connection exception; 57P01..57P03: the server shut the session down or is restarting.
    return sqlState.startsWith(QLatin1String("08")) || sqlState.startsWith(QLatin1String("57P"));
}
} // namespace

bool SqlConnection::sessionLost(const QSqlError& error)
{
    if (m_kind == QLatin1String("SQLITE"))
        return false; // a file, not a session: nothing to lose
    if (m_callGivenUp)
        return true; // the store did not answer in time: its socket is already shut
    const QString state = error.nativeErrorCode();
    if (sessionGoneState(state))
        return true;
    if (!database().isOpen())
        return true;
    if (!state.isEmpty())
        return false; // the server answered: the failure is the statement's own
    // A failure without a state comes from the client library (a closed socket, or a
    // statement it refused itself): the session is lost only if it no longer answers.
    // Inside a failed transaction the server still answers, with a state of its own.
    QSqlQuery probe(database());
    const CallDeadline deadline = watchCall();
    if (probe.exec(m_kind == QLatin1String("ORACLE") ? QStringLiteral("SELECT 1 FROM DUAL")
                                                     : QStringLiteral("SELECT 1")))
        return false;
    const QString probeState = probe.lastError().nativeErrorCode();
    return probeState.isEmpty() || sessionGoneState(probeState);
}

QString SqlConnection::lossText(const QSqlError& error) const
{
    if (!m_callGivenUp)
        return errorText(error);
    return QStringLiteral("the store did not answer within %1 s; the call was given up")
        .arg(QLocale::c().toString((m_callTimeoutMs + CallDeadline::graceMs) / 1000.0, 'g', 3));
}

void SqlConnection::discardLostSession()
{
    close();
    m_lost = true;
}

bool SqlConnection::recoverLostSession(const QSqlError& error, const QString& operation)
{
    if (!sessionLost(error))
        return false;
    const QString why = lossText(error);
    if (m_inTransaction) {
        // The server undoes the open transaction with the session; resuming on a new
        // session would commit only the statements that come after.
        discardLostSession();
        throw SqlError(operation, QStringLiteral("the connection to the database was lost inside a transaction; "
                                                 "nothing of that transaction was written (%1)")
                                      .arg(why));
    }
    qCWarning(lcSql).noquote() << objectName() << "session lost, reconnecting:" << why;
    // Still lost until a reconnection succeeds: with the server down now, a later
    // statement tries again instead of finding the module "not connected" for good.
    discardLostSession();
    open();
    return true;
}

bool SqlConnection::startTransaction(TransactionMode mode, QSqlError* error)
{
    QSqlDatabase db = database();
    if (m_kind == QLatin1String("SQLITE") && mode == TransactionMode::Write) {
        // Taking the write lock at BEGIN makes a busy store queue this writer behind the
        // busy timeout; a deferred transaction upgrading later would fail at once.
        QSqlQuery begin(db);
        if (begin.exec(QStringLiteral("BEGIN IMMEDIATE"))) // local file: its busy timeout bounds it
            return true;
        *error = begin.lastError();
        return false;
    }
    const CallDeadline deadline = watchCall();
    if (db.transaction())
        return true;
    *error = db.lastError();
    return false;
}

void SqlConnection::beginTrans(TransactionMode mode)
{
    const QString operation = objectName() + QStringLiteral(": begin transaction");
    if (!ensureOpen())
        throw SqlError(operation, QStringLiteral("not connected"));
    QSqlError error;
    if (!startTransaction(mode, &error)) {
        // A session the server dropped while idle is found here, before anything is written.
        if (m_inTransaction || !recoverLostSession(error, operation) || !startTransaction(mode, &error))
            throw SqlError(operation, errorText(error));
    }
    m_inTransaction = true;
}

void SqlConnection::commitTrans()
{
    const QString operation = objectName() + QStringLiteral(": commit");
    QSqlDatabase db = database();
    if (!db.isOpen())
        throw SqlError(operation, QStringLiteral("not connected"));
    bool committed = false;
    {
        const CallDeadline deadline = watchCall();
        committed = db.commit();
    }
    if (!committed) {
        const QSqlError error = db.lastError();
        if (sessionLost(error)) {
            const QString why = lossText(error);
            discardLostSession();
            throw SqlError(operation, QStringLiteral("the connection to the database was lost while committing; "
                                                     "the transaction was written whole or not at all (%1)")
                                          .arg(why));
        }
        // Still ours: the caller rolls it back (the embedded store keeps it open; a
        // server that already undid it answers the rollback with a mere warning).
        throw SqlError(operation, errorText(error));
    }
    m_inTransaction = false;
}

void SqlConnection::rollbackTrans()
{
    QSqlDatabase db = database();
    bool rolledBack = false;
    if (db.isOpen()) {
        const CallDeadline deadline = watchCall();
        rolledBack = db.rollback();
    }
    if (rolledBack) {
        m_inTransaction = false;
        return;
    }
    const QString text = db.isOpen() ? errorText(db.lastError()) : QStringLiteral("not connected");
    // Ending the session ends its transaction on the server: nothing of it can be committed later.
    discardLostSession();
    throw SqlError(objectName() + QStringLiteral(": rollback"), text);
}

void SqlConnection::execDirect(const QString& sql, const QString& operation)
{
    QSqlQuery q(database());
    bool done = false;
    {
        const CallDeadline deadline = watchCall();
        done = q.exec(sql);
    }
    if (!done)
        throw SqlError(operation.isEmpty() ? objectName() : operation, errorText(q.lastError()));
}
