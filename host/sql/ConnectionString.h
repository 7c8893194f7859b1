#pragma once

#include "HostExport.h"

#include <QList>
#include <QPair>
#include <QString>

// "Provider=POSTGRESQL;Host=127.0.0.1;Port=5432;Database=store;User ID=kiosk;Password=..."
// Keys are case-insensitive. The provider names the engine: SQLITE (Data Source = file),
// POSTGRESQL, MSSQL or ORACLE (both through ODBC: Driver/DSN/Server... passed on).
class HOST_EXPORT ConnectionString
{
public:
    explicit ConnectionString(const QString& text);

    QString value(const QString& key, const QString& fallback = QString()) const;
    bool has(const QString& key) const;
    // "SQLITE", "POSTGRESQL", "MSSQL", "ORACLE", or "" when the provider is unknown.
    QString kind() const;
    QString qtDriver() const;
    // The text with passwords replaced by "***", fit for logs and failure texts.
    QString redacted() const;
    // Options for an ODBC connection: every key except Provider.
    QString odbcConnectString() const;

private:
    QString m_text;
    QList<QPair<QString, QString>> m_pairs;
};
