#include "LocalDatabase.h"

#include "KioskError.h"

#include <QAtomicInteger>
#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QSqlError>
#include <QSqlQuery>

namespace
{
QAtomicInteger<quint64> connections;
} // namespace

LocalDatabase::LocalDatabase(const QString& file, const QString& schema)
    : m_file(file), m_name(QStringLiteral("kiosk-local-%1").arg(connections.fetchAndAddRelaxed(1)))
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    {
        QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_name);
        db.setDatabaseName(file);
        db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
        if (!db.open()) {
            const QString why = db.lastError().text();
            db = QSqlDatabase();
            QSqlDatabase::removeDatabase(m_name);
            throw KioskError(QStringLiteral("%1: cannot open: %2").arg(file, why));
        }
    }
    try {
        exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        exec(QStringLiteral("PRAGMA synchronous=FULL"));
        for (const QString& statement : schema.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty())
                exec(statement);
        }
    } catch (...) {
        QSqlDatabase::database(m_name, false).close();
        QSqlDatabase::removeDatabase(m_name);
        throw;
    }
}

LocalDatabase::~LocalDatabase()
{
    // After the application is gone Qt's database layer is too; the process is ending anyway.
    if (!QCoreApplication::instance())
        return;
    {
        QSqlDatabase db = QSqlDatabase::database(m_name, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(m_name);
}

QSqlQuery LocalDatabase::exec(const QString& sql, const QVariantMap& values)
{
    QSqlQuery q(QSqlDatabase::database(m_name, false));
    if (!q.prepare(sql))
        throw KioskError(QStringLiteral("%1: %2").arg(m_file, q.lastError().text()));
    for (auto it = values.cbegin(); it != values.cend(); ++it)
        q.bindValue(QLatin1Char(':') + it.key(), it.value());
    if (!q.exec())
        throw KioskError(QStringLiteral("%1: %2").arg(m_file, q.lastError().text()));
    return q;
}

void LocalDatabase::begin()
{
    exec(QStringLiteral("BEGIN IMMEDIATE"));
}

void LocalDatabase::commit()
{
    exec(QStringLiteral("COMMIT"));
}

void LocalDatabase::rollback()
{
    try {
        exec(QStringLiteral("ROLLBACK"));
    } catch (const KioskError&) {
        // nothing open: nothing to undo
    }
}
