#include "ServerResult.h"

#include "Logging.h"

namespace ServerResult
{
bool logFailure(const QVariant& result, const QString& method, const QString& caller, const QString& arguments,
                const QString& schema)
{
    if (result.metaType().id() != QMetaType::QString)
        return false;
    qCWarning(lcServer).noquote() << QStringLiteral("%1 failed (caller %2, arguments \"%3\", schema %4): %5")
                                         .arg(method, caller, arguments, schema, result.toString());
    return true;
}
} // namespace ServerResult
