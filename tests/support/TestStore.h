#pragma once

#include <QString>
#include <QTemporaryDir>
#include <QVariant>
#include <memory>

class SqlConnection;

// A fresh, empty store for one test: an SQLite file in a temporary folder, or a
// new database on the throwaway PostgreSQL cluster (KIOSK_TEST_PG), dropped at the
// end. The engine comes from KIOSK_TEST_ENGINE ("SQLITE" by default). The store's
// connection string becomes the host's configured one.
class TestStore
{
public:
    explicit TestStore(const QString& engine = engineUnderTest());
    ~TestStore();

    static QString engineUnderTest();
    const QString& engine() const { return m_engine; }
    const QString& connectionString() const { return m_connectionString; }

    void createSchema();
    void exec(const QString& sql);
    QVariant scalar(const QString& sql);
    int count(const QString& sqlFromWhere); // SELECT COUNT(*) <sqlFromWhere>
    SqlConnection& connection();

private:
    QString m_engine;
    QString m_connectionString;
    QString m_pgDatabase;
    QString m_pgAdmin;
    QTemporaryDir m_dir;
    std::unique_ptr<SqlConnection> m_connection;
};
