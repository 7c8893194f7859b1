#pragma once

#include "HostExport.h"

#include <QSqlDatabase>
#include <QString>
#include <QVariantMap>

class QSqlQuery;

// A small SQLite file of the kiosk's own (the purchase journal, the stand-in card
// library's transactions): write-ahead log, every commit synced to disk, a busy
// wait so the kiosk and the technician's tool queue instead of failing. One
// connection per object and thread (a connection belongs to the thread that opened
// it: the screen's and the store worker's each get theirs); statements bind by name.
class HOST_EXPORT LocalDatabase
{
public:
    // Opens (creating it and its folder) and runs `schema`, statements separated by ';'.
    // Throws KioskError naming the file when it cannot be opened or set up.
    LocalDatabase(const QString& file, const QString& schema);
    ~LocalDatabase();
    LocalDatabase(const LocalDatabase&) = delete;
    LocalDatabase& operator=(const LocalDatabase&) = delete;

    // Runs one statement with its named values; throws KioskError on failure.
    QSqlQuery exec(const QString& sql, const QVariantMap& values = {});
    // BEGIN IMMEDIATE: the write lock is taken now, so a read-then-write cannot be overtaken.
    void begin();
    void commit();
    void rollback();
    const QString& file() const { return m_file; }

private:
    // This thread's connection, opened on first use.
    QSqlDatabase connection();
    QSqlDatabase open(const QString& name);

    QString m_file;
    QString m_name;
};

// Rolls back an open transaction unless committed.
class HOST_EXPORT LocalTransaction
{
public:
    explicit LocalTransaction(LocalDatabase& db) : m_db(db) { m_db.begin(); }
    ~LocalTransaction()
    {
        if (!m_done)
            m_db.rollback();
    }
    void commit()
    {
        m_db.commit();
        m_done = true;
    }

private:
    LocalDatabase& m_db;
    bool m_done = false;
};
