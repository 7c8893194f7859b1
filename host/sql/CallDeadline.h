#pragma once

#include "HostExport.h"

#include <QSqlDatabase>
#include <cstdint>

// Bounds one store call in time. While it lives, a watchdog thread waits for its deadline;
// should the call still be running then, the session's socket is shut down, so the call
// returns at once with its connection lost and the caller's failover takes over. A server
// that stopped answering (its processes frozen, its machine gone) cannot be reached by a
// cancel request either, so the kiosk does not wait for one: a live server has already
// cancelled the statement itself at the same deadline (statement_timeout).
// Only PostgreSQL sessions are watched (a local SQLite file has a busy timeout of its own).
class HOST_EXPORT CallDeadline
{
public:
    // `givenUp`, when given, is told at the end whether the watchdog gave the call up.
    CallDeadline(const QSqlDatabase& db, int timeoutMs, bool* givenUp = nullptr);
    ~CallDeadline();
    CallDeadline(const CallDeadline&) = delete;
    CallDeadline& operator=(const CallDeadline&) = delete;

    // True when the watchdog gave the call up.
    bool expired() const;

    // Beyond the server's own statement timeout, so that a live server answers first.
    static constexpr int graceMs = 1000;

private:
    std::uint64_t m_id = 0;
    bool* m_givenUp = nullptr;
};
