#include "SqlStoredProc.h"

#include "NativeProcedures.h"
#include "SqlConnection.h"

namespace {
QString placeholder(const QString& paramName)
{
    QString n = paramName;
    if (n.startsWith(QLatin1Char('@')))
        n.remove(0, 1);
    return QLatin1Char(':') + n;
}
} // namespace

SqlStoredProc::SqlStoredProc(const QString& name, SqlConnection* connection, QObject* parent)
    : SqlStatement(name, connection, parent)
{
}

SqlParameter& SqlStoredProc::declare(const QString& name, ParamType type, int size, bool nullable,
                                     ParamDirection direction)
{
    return m_params.declare(name, type, size, nullable, direction);
}

QString SqlStoredProc::callText(const QString& kind) const
{
    QStringList args;
    QString ret;
    for (const SqlParameter& p : m_params.list()) {
        if (p.direction == ParamDirection::ReturnValue)
            ret = placeholder(p.name);
        else
            args << placeholder(p.name);
    }
    const QString list = args.join(QStringLiteral(", "));
    if (kind == QLatin1String("ORACLE"))
        return QStringLiteral("BEGIN %1(%2); END;").arg(m_procedureName, list);
    if (kind == QLatin1String("MSSQL"))
        return ret.isEmpty() ? QStringLiteral("{CALL %1(%2)}").arg(m_procedureName, list)
                             : QStringLiteral("{%1 = CALL %2(%3)}").arg(ret, m_procedureName, list);
    // PostgreSQL keeps the body as a function: SELECT can be prepared, CALL cannot.
    return QStringLiteral("SELECT %1(%2)").arg(m_procedureName, list);
}

void SqlStoredProc::execProc()
{
    if (!m_connection || !m_connection->ensureOpen())
        fail(QStringLiteral("not connected"));
    const QString kind = m_connection->kind();
    if (kind == QLatin1String("SQLITE")) {
        const NativeProcedures::Body* body = NativeProcedures::find(m_procedureName);
        if (!body)
            fail(QStringLiteral("procedure %1 does not exist in the embedded store").arg(m_procedureName));
        (*body)(*m_connection, m_params);
        return;
    }
    // Parameter names of the SQL Server signature carry "@"; bind them under their placeholder name.
    SqlParameters bound;
    for (const SqlParameter& p : m_params.list()) {
        SqlParameter& d = bound.declare(placeholder(p.name).mid(1), p.declared, p.size, p.nullable, p.direction);
        d.bound = p.bound;
        d.value = p.value;
    }
    SqlStatement::execute(callText(kind), &bound).finish();
}
