#pragma once

#include "HostExport.h"

#include <QDateTime>

// Source of "now" for time stamps and waits; tests install a clock they move by hand.
class HOST_EXPORT Clock
{
public:
    virtual ~Clock();
    virtual QDateTime now() const = 0;

    static const Clock& instance();
    // Installs a clock (not owned); nullptr restores the system clock.
    static void setInstance(const Clock* clock);
};

class HOST_EXPORT ManualClock : public Clock
{
public:
    explicit ManualClock(QDateTime start) : m_now(std::move(start)) {}
    QDateTime now() const override { return m_now; }
    void set(QDateTime t) { m_now = std::move(t); }
    void advanceMs(qint64 ms) { m_now = m_now.addMSecs(ms); }

private:
    QDateTime m_now;
};
