#include "QueryAnswer.h"

#include "DataSetProvider.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"

namespace QueryAnswer
{
QVariant packet(SqlQuery* TrdmRecSaldo::*query, DataSetProvider* TrdmRecSaldo::*provider,
                std::initializer_list<Parameter> parameters)
{
    try {
        TrdmRecSaldo& dm = ServerModule::instance();
        SqlQuery& q = *(dm.*query);
        q.close();
        for (const Parameter& p : parameters) {
            SqlParameter& bound = q.paramByName(QString::fromLatin1(p.name));
            if (p.isDateTime)
                bound.setAsDateTime(p.dateTime);
            else
                bound.setAsString(p.text);
        }
        return PacketVariant::of((dm.*provider)->data()); // the provider opens the query
    } catch (const std::exception& e) {
        return ServerModule::failureText(e);
    }
}
} // namespace QueryAnswer
