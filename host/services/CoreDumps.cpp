#include "CoreDumps.h"

#include <QLoggingCategory>

#include <cerrno>
#include <cstring>
#include <sys/prctl.h>
#include <sys/resource.h>

namespace
{
Q_LOGGING_CATEGORY(lcProcess, "kiosk.process")
}

namespace CoreDumps
{

bool forbid()
{
    bool ok = true;
    const rlimit none{0, 0};
    if (::setrlimit(RLIMIT_CORE, &none) != 0) {
        qCWarning(lcProcess) << "core dumps could not be limited:" << std::strerror(errno);
        ok = false;
    }
    if (::prctl(PR_SET_DUMPABLE, 0, 0, 0, 0) != 0) {
        qCWarning(lcProcess) << "the process could not be made non-dumpable:" << std::strerror(errno);
        ok = false;
    }
    return ok;
}

} // namespace CoreDumps
