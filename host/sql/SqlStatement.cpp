#include "SqlStatement.h"

#include "DateTimeValue.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "StatementFile.h"

#include <QSqlError>

SqlStatement::SqlStatement(const QString& name, SqlConnection* connection, QObject* parent)
    : QObject(parent), m_connection(connection)
{
    setObjectName(name);
    m_params.setOwner(name);
    if (connection)
        connect(connection, &SqlConnection::closing, this, [this] {
            // Let the session go: nothing prepared on it may outlive it.
            m_query = QSqlQuery();
            m_preparedText.clear();
        });
}

SqlStatement::~SqlStatement() = default;

void SqlStatement::setSql(const QString& text)
{
    m_sql = text;
    m_params.refreshFrom(text);
}

void SqlStatement::setStatement(const StatementFile& statement)
{
    m_sql = statement.text;
    m_params = statement.parameters;
    m_params.setOwner(objectName());
    m_declaredOnly = true;
}

void SqlStatement::fail(const QString& databaseText) const
{
    throw SqlError(objectName(), databaseText);
}

QVariant SqlStatement::driverValue(const SqlParameter& p, const QString& kind)
{
    const ParamType t = p.bound != ParamType::None ? p.bound : p.declared;
    const bool textDates = kind == QLatin1String("SQLITE") || kind == QLatin1String("POSTGRESQL");
    if (p.isNull()) {
        switch (t) {
        case ParamType::Float:
            return QVariant(QMetaType::fromType<double>());
        case ParamType::Integer:
            return QVariant(QMetaType::fromType<qlonglong>());
        case ParamType::DateTime:
            return textDates ? QVariant(QMetaType::fromType<QString>())
                             : QVariant(QMetaType::fromType<QDateTime>());
        default:
            return QVariant(QMetaType::fromType<QString>());
        }
    }
    if (t == ParamType::DateTime) {
        const double days = p.value.toDouble();
        // Zone-free text: the embedded engine compares it as text, PostgreSQL reads it as a timestamp.
        return textDates ? QVariant(DateTimeValue::toIsoText(days))
                         : QVariant(QDateTime(DateTimeValue::toDateTime(days).date(), DateTimeValue::toDateTime(days).time()));
    }
    if (t == ParamType::String && p.value.metaType().id() == QMetaType::QString && p.value.toString().isNull())
        return QString::fromLatin1(""); // empty text is a value, not NULL
    return p.value;
}

QSqlQuery& SqlStatement::execute(const QString& text, const SqlParameters* params)
{
    const SqlParameters& values = params ? *params : m_params;
    bool counted = false;
    // A session found lost outside a transaction is reopened once and the statement runs again.
    for (int attempt = 0;; ++attempt) {
        if (!m_connection || !m_connection->ensureOpen())
            fail(QStringLiteral("not connected"));
        if (m_preparedGeneration != m_connection->generation() || m_preparedText != text) {
            m_query = QSqlQuery(m_connection->database());
            m_query.setNumericalPrecisionPolicy(QSql::LowPrecisionDouble);
            m_query.setForwardOnly(true);
            bool prepared = false;
            {
                const CallDeadline deadline = m_connection->watchCall();
                prepared = m_query.prepare(text);
            }
            if (!prepared) {
                m_preparedText.clear();
                const QSqlError error = m_query.lastError();
                if (attempt == 0 && m_connection->recoverLostSession(error, objectName()))
                    continue;
                fail(SqlConnection::errorText(error));
            }
            m_preparedText = text;
            m_placeholders = SqlParameters::placeholderNames(text);
            m_preparedGeneration = m_connection->generation();
        }
        if (!counted) {
            ++m_executions;
            counted = true;
        }
        const QString kind = m_connection->kind();
        for (const QString& name : std::as_const(m_placeholders)) {
            const SqlParameter* p = values.find(name);
            if (!p)
                fail(QStringLiteral("parameter %1 is not declared").arg(name));
            if (m_declaredOnly && !params && p->direction == ParamDirection::Input && p->bound == ParamType::None)
                fail(QStringLiteral("parameter %1 was never bound").arg(name));
            m_query.bindValue(QLatin1Char(':') + name, driverValue(*p, kind),
                              p->direction == ParamDirection::ReturnValue ? QSql::Out : QSql::In);
        }
        bool done = false;
        {
            const CallDeadline deadline = m_connection->watchCall();
            done = m_query.exec();
        }
        if (done)
            return m_query;
        const QSqlError error = m_query.lastError();
        if (attempt == 0 && m_connection->recoverLostSession(error, objectName()))
            continue;
        fail(SqlConnection::errorText(error));
    }
}
