#pragma once

#include "TrdmRecSaldo.h"

#include <QString>
#include <QVariant>
#include <initializer_list>

// The one shape of the server functions that answer with a query's rows: the module's
// instance, the query closed, its parameters bound by name, its provider's packet; any failure
// (the instance missing included) becomes the result's text and never escapes.
namespace QueryAnswer
{
// A parameter bound as text, or as a date-time when given a day count.
struct Parameter {
    Parameter(const char* name, const QString& text) : name(name), text(text) {}
    Parameter(const char* name, double dateTime) : name(name), dateTime(dateTime), isDateTime(true) {}
    const char* name;
    QString text;
    double dateTime = 0;
    bool isDateTime = false;
};

QVariant packet(SqlQuery* TrdmRecSaldo::*query, DataSetProvider* TrdmRecSaldo::*provider,
                std::initializer_list<Parameter> parameters);
} // namespace QueryAnswer
