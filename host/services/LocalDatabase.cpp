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

QAtomicInteger<quint64> threads;

// Names this thread's connections; never reused by a later thread, as thread ids are.
QString threadSuffix()
{
    thread_local const quint64 token = threads.fetchAndAddRelaxed(1) + 1;
    return QStringLiteral("@%1").arg(token);
}
} // namespace

LocalDatabase::LocalDatabase(const QString& file, const QString& schema)
    : m_file(file), m_name(QStringLiteral("kiosk-local-%1").arg(connections.fetchAndAddRelaxed(1)))
{
    QDir().mkpath(QFileInfo(file).absolutePath());
    const QString name = m_name + threadSuffix();
    open(name);
    try {
        exec(QStringLiteral("PRAGMA journal_mode=WAL"));
        for (const QString& statement : schema.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
            if (!statement.trimmed().isEmpty())
                exec(statement);
        }
    } catch (...) {
        QSqlDatabase::database(name, false).close();
        QSqlDatabase::removeDatabase(name);
        throw;
    }
}

QSqlDatabase LocalDatabase::open(const QString& name)
{
    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), name);
    db.setDatabaseName(m_file);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=10000"));
    if (!db.open()) {
        const QString why = db.lastError().text();
        db = QSqlDatabase();
        QSqlDatabase::removeDatabase(name);
        throw KioskError(QStringLiteral("%1: cannot open: %2").arg(m_file, why));
    }
    QSqlQuery sync(db);
    if (!sync.exec(QStringLiteral("PRAGMA synchronous=FULL")))
        throw KioskError(QStringLiteral("%1: %2").arg(m_file, sync.lastError().text()));
    return db;
}

QSqlDatabase LocalDatabase::connection()
{
    const QString name = m_name + threadSuffix();
    if (QSqlDatabase::contains(name))
        return QSqlDatabase::database(name, false);
    return open(name);
}

LocalDatabase::~LocalDatabase()
{
    // After the application is gone Qt's database layer is too; the process is ending anyway.
    if (!QCoreApplication::instance())
        return;
    // Every thread's connection goes; none may be in use any more. Only this thread's may
    // be touched before it is removed.
    const QString mine = m_name + threadSuffix();
    for (const QString& name : QSqlDatabase::connectionNames()) {
        if (!name.startsWith(m_name + QLatin1Char('@')))
            continue;
        if (name == mine) {
            QSqlDatabase db = QSqlDatabase::database(name, false);
            if (db.isOpen())
                db.close();
        }
        QSqlDatabase::removeDatabase(name);
    }
}

QSqlQuery LocalDatabase::exec(const QString& sql, const QVariantMap& values)
{
    QSqlQuery q(connection());
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
