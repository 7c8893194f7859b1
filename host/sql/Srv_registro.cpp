#include "Srv_registro.h"

#include "ConnectionString.h"
#include "HostConfig.h"

namespace Srv_registro {
namespace {
QString overrideAnswer;
bool overrideActive = false;
} // namespace

QString _UsedDatabase(const QString&)
{
    if (overrideActive)
        return overrideAnswer;
    return ConnectionString(HostConfig::instance().connectionString()).kind();
}

void setUsedDatabaseOverride(const QString& answer, bool active)
{
    overrideAnswer = answer;
    overrideActive = active;
}
} // namespace Srv_registro
