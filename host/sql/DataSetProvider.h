#pragma once

#include "DataPacket.h"

#include <QObject>

class SqlQuery;

// Turns a query's result into a data packet, opening the query when needed.
class HOST_EXPORT DataSetProvider : public QObject
{
    Q_OBJECT
public:
    DataSetProvider(const QString& name, SqlQuery* query, QObject* parent = nullptr);
    DataPacket data();

private:
    SqlQuery* m_query;
};
