#include "TADOSqlStorage.h"

#include "SqlQuery.h"

TADOSqlStorage::TADOSqlStorage(const QString& name, SqlQuery* query, QObject* parent)
    : QObject(parent), m_query(query)
{
    setObjectName(name);
    if (query)
        query->setDialectStore(this);
}
