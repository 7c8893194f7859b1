#include "DataSetProvider.h"

#include "SqlQuery.h"

DataSetProvider::DataSetProvider(const QString& name, SqlQuery* query, QObject* parent)
    : QObject(parent), m_query(query)
{
    setObjectName(name);
}

DataPacket DataSetProvider::data()
{
    m_query->open();
    return m_query->packet();
}
