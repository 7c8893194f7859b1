#pragma once

#include "HostExport.h"

#include <QMap>
#include <QObject>

class SqlQuery;

// Dialect store of one query: one statement text per database kind, kept under
// the keys "SQLORACLE", "SQLMSSQL", "SQLPOSTGRESQL" and "SQLSQLITE".
class HOST_EXPORT TADOSqlStorage : public QObject
{
    Q_OBJECT
public:
    TADOSqlStorage(const QString& name, SqlQuery* query, QObject* parent = nullptr);

    void setText(const QString& key, const QString& text) { m_texts.insert(key, text); }
    QString text(const QString& key) const { return m_texts.value(key); }
    // The text for a database kind ("ORACLE", "MSSQL", ...); empty when none is held.
    QString textFor(const QString& kind) const { return m_texts.value(QStringLiteral("SQL") + kind); }
    SqlQuery* query() const { return m_query; }

private:
    SqlQuery* m_query;
    QMap<QString, QString> m_texts;
};
