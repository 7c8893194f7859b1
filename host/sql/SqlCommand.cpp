#include "SqlCommand.h"

int SqlCommand::execute()
{
    QSqlQuery& q = SqlStatement::execute(m_sql);
    const int n = q.numRowsAffected();
    q.finish();
    return n;
}
