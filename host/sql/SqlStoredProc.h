#pragma once

#include "SqlStatement.h"

// A stored procedure called by name with declared parameters. The call text is
// built per engine from the declarations ("@" names on SQL Server become
// placeholders without the "@"); on SQLite the registered native body runs.
class HOST_EXPORT SqlStoredProc : public SqlStatement
{
    Q_OBJECT
public:
    SqlStoredProc(const QString& name, SqlConnection* connection, QObject* parent = nullptr);

    void setProcedureName(const QString& name) { m_procedureName = name; }
    const QString& procedureName() const { return m_procedureName; }
    SqlParameter& declare(const QString& name, ParamType type, int size = 0, bool nullable = true,
                          ParamDirection direction = ParamDirection::Input);

    QString callText(const QString& kind) const;
    void execProc();

private:
    QString m_procedureName;
};
