#pragma once

#include "HostExport.h"
#include "SqlParameters.h"

#include <QObject>
#include <QSqlQuery>

class SqlConnection;
struct StatementFile;

// Common ground of queries, commands and stored procedures: a text with
// ":NAME" parameters, prepared once per connection opening and bound by name.
class HOST_EXPORT SqlStatement : public QObject
{
    Q_OBJECT
public:
    SqlStatement(const QString& name, SqlConnection* connection, QObject* parent = nullptr);
    ~SqlStatement() override;

    SqlConnection* connection() const { return m_connection; }
    // A text whose parameters are taken from its placeholders (declarations added later).
    void setSql(const QString& text);
    // A text with its own declarations: running it fails when a placeholder is not
    // declared or a declared input was never bound, instead of sending NULL.
    void setStatement(const StatementFile& statement);
    bool declaredOnly() const { return m_declaredOnly; }
    // How many times the statement ran (successfully or not) since it was created.
    int executions() const { return m_executions; }
    const QString& sql() const { return m_sql; }
    SqlParameters& parameters() { return m_params; }
    SqlParameter& paramByName(const QString& name) { return m_params.paramByName(name); }

    // The value handed to the driver for a parameter on an engine ("SQLITE", ...).
    static QVariant driverValue(const SqlParameter& p, const QString& kind);

protected:
    // Prepares `text`, binds every parameter it names (from `params`, the statement's
    // own by default) and runs it.
    QSqlQuery& execute(const QString& text, const SqlParameters* params = nullptr);
    [[noreturn]] void fail(const QString& databaseText) const;

    SqlConnection* m_connection;
    SqlParameters m_params;
    QString m_sql;
    bool m_declaredOnly = false;
    int m_executions = 0;

private:
    QSqlQuery m_query;
    QString m_preparedText;
    QStringList m_placeholders; // of m_preparedText
    quint64 m_preparedGeneration = 0;
};
