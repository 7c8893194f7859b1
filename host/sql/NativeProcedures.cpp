#include "NativeProcedures.h"

#include <QHash>

namespace {
QHash<QString, NativeProcedures::Body>& registry()
{
    static QHash<QString, NativeProcedures::Body> r;
    return r;
}
} // namespace

namespace NativeProcedures {
void add(const QString& name, Body body)
{
    registry().insert(name.toUpper(), std::move(body));
}

const Body* find(const QString& name)
{
    const auto it = registry().constFind(name.toUpper());
    return it == registry().constEnd() ? nullptr : &it.value();
}
} // namespace NativeProcedures
