#include "Clock.h"

namespace {
class SystemClock : public Clock
{
public:
    QDateTime now() const override { return QDateTime::currentDateTime(); }
};

const SystemClock systemClock;
const Clock* installed = nullptr;
} // namespace

Clock::~Clock() = default;

const Clock& Clock::instance()
{
    return installed ? *installed : systemClock;
}

void Clock::setInstance(const Clock* clock)
{
    installed = clock;
}
