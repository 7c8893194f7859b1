#pragma once

#include "HostExport.h"

#include <QString>

// An exclusive lock between processes on one name (a lock file), released by the
// kernel when the holder dies: a killed kiosk never leaves a purchase locked.
// Taking it never waits.
class HOST_EXPORT ExclusiveLock
{
public:
    explicit ExclusiveLock(QString path);
    ~ExclusiveLock();
    ExclusiveLock(const ExclusiveLock&) = delete;
    ExclusiveLock& operator=(const ExclusiveLock&) = delete;

    // True when this object holds the lock now (also when it already did); false while
    // another holder has it. Throws KioskError when the lock file cannot be made.
    bool tryLock();
    void unlock();
    // Removes the lock file while still holding it, then lets go: for a name that is done with.
    void removeAndUnlock();
    bool held() const { return m_fd >= 0; }

private:
    QString m_path;
    int m_fd = -1;
};
