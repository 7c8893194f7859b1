#include "PrinterSettingsCheck.h"

#include "CouponCounters.h"
#include "PrinterTarget.h"

std::optional<KioskStatus::Check> printerSettingsCheck(const QString& target)
{
    const PrinterTarget where = PrinterTarget::examine(target);
    if (where.verdict == PrinterTarget::Verdict::Unusable)
        return KioskStatus::Check{false, where.detail};
    const QString counters = CouponCounters::problem(CouponCounters::defaultFile());
    if (!counters.isEmpty())
        return KioskStatus::Check{false, counters};
    if (where.verdict == PrinterTarget::Verdict::Warning)
        return KioskStatus::Check{true, QStringLiteral("warning: ") + where.detail};
    return std::nullopt;
}
