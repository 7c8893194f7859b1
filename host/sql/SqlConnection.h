#pragma once

#include "CallDeadline.h"
#include "HostExport.h"

#include <QElapsedTimer>
#include <QObject>
#include <QSqlDatabase>
#include <functional>

class ConnectionString;
class QSqlError;

// A database connection named by a connection string, with before/after-connect
// hooks and one transaction at a time. A session the server dropped (restart,
// fail-over, idle timeout) is reopened once when the next call finds it broken;
// a session lost inside a transaction is discarded and reported, never resumed.
// Opening keeps trying for the connection string's failover window (a store whose
// standby is being promoted answers again within seconds), pausing between attempts.
class HOST_EXPORT SqlConnection : public QObject
{
    Q_OBJECT
public:
    explicit SqlConnection(const QString& name, QObject* parent = nullptr);
    ~SqlConnection() override;

    void setConnectionString(const QString& text);
    const QString& connectionString() const { return m_connectionString; }
    std::function<void(SqlConnection&)> beforeConnect;
    std::function<void(SqlConnection&)> afterConnect;

    void open(); // runs beforeConnect, connects, runs afterConnect; nothing when already open
    void close();
    bool connected() const;
    // "SQLITE", "POSTGRESQL", "MSSQL", "ORACLE" for the connection string in use.
    const QString& kind() const { return m_kind; }
    // Incremented at every opening; statements re-prepare when it changes.
    quint64 generation() const { return m_generation; }

    // Write transactions take the embedded store's write lock when they begin, so a
    // second writer waits (busy timeout) instead of failing half-way; read-only ones
    // stay deferred and never block writers.
    enum class TransactionMode { Write, ReadOnly };
    void beginTrans(TransactionMode mode = TransactionMode::Write);
    // A refused COMMIT leaves the transaction open (to be rolled back); a failed
    // ROLLBACK discards the session, which ends the transaction on the server.
    void commitTrans();
    void rollbackTrans();
    // True until a COMMIT or ROLLBACK really succeeded (or the session was discarded).
    bool inTransaction() const { return m_inTransaction; }

    // Opens again a session discarded after a loss; false when not connected.
    bool ensureOpen();
    // For a statement that failed with `error`: false when the session is alive (the
    // failure is the statement's own); true when the session was lost outside a
    // transaction and is open again (run the statement once more); throws a SqlError
    // saying nothing was written when it was lost inside a transaction.
    bool recoverLostSession(const QSqlError& error, const QString& operation);

    // What opening does between two attempts (sleeps by default); tests advance their clock.
    static void setReconnectPause(std::function<void(int ms)> pause);
    static constexpr int reconnectIntervalMs = 250;

    // Bounds one store call on this session by the connection string's call timeout: a call
    // given up counts as a lost session (see recoverLostSession).
    [[nodiscard]] CallDeadline watchCall() { return CallDeadline(database(), m_callTimeoutMs, &m_callGivenUp); }
    int callTimeoutMs() const { return m_callTimeoutMs; }

    QSqlDatabase database() const;
    // Runs a statement without parameters (DDL, pragmas); throws SqlError on failure.
    void execDirect(const QString& sql, const QString& operation = QString());
    // What the database said, with the driver's context.
    static QString errorText(const QSqlError& error);

signals:
    // The session is about to go: statements drop what they prepared on it.
    void closing();
    // The store did not answer; opening keeps trying for up to windowMs.
    void waitingForStore(int windowMs);
    // The wait announced by waitingForStore is over: the store answered, or the window ran out.
    void storeWaitOver();

private:
    bool connectOnce(const ConnectionString& cs, const QString& driver, QString* failure);
    bool sessionLost(const QSqlError& error);
    void discardLostSession();
    // Why the session was lost: the database library's words, or the call deadline.
    QString lossText(const QSqlError& error) const;
    bool startTransaction(TransactionMode mode, QSqlError* error);

    QString m_connectionString;
    QString m_kind; // of m_connectionString, read at every statement execution
    QString m_qtName;
    quint64 m_generation = 0;
    bool m_inTransaction = false;
    bool m_lost = false;        // discarded after a loss: reopen at the next use
    int m_callTimeoutMs = 0;
    bool m_callGivenUp = false; // the last watched call outlived its deadline
    QElapsedTimer m_busyClock;  // of the current wait for the embedded store's write lock
};
