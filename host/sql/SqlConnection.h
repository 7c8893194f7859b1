#pragma once

#include "HostExport.h"

#include <QObject>
#include <QSqlDatabase>
#include <functional>

class QSqlError;

// A database connection named by a connection string, with before/after-connect
// hooks and one transaction at a time.
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

    void beginTrans();
    void commitTrans();
    void rollbackTrans();
    bool inTransaction() const { return m_inTransaction; }

    QSqlDatabase database() const;
    // Runs a statement without parameters (DDL, pragmas); throws SqlError on failure.
    void execDirect(const QString& sql, const QString& operation = QString());
    // What the database said, with the driver's context.
    static QString errorText(const QSqlError& error);

private:
    QString m_connectionString;
    QString m_kind; // of m_connectionString, read at every statement execution
    QString m_qtName;
    quint64 m_generation = 0;
    bool m_inTransaction = false;
};
