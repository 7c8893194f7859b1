#include "CallDeadline.h"

#include <QSqlDriver>

#include <algorithm>
#include <chrono>
#include <condition_variable>
#include <map>
#include <mutex>
#include <thread>

#ifdef KIOSK_LIBPQ
#include <libpq-fe.h>
#include <sys/socket.h>
#endif

namespace
{
using SteadyClock = std::chrono::steady_clock;

// One thread for the whole process, asleep until the earliest armed deadline.
class Watchdog
{
public:
    static Watchdog& instance()
    {
        static Watchdog dog;
        return dog;
    }

    std::uint64_t arm(int fd, SteadyClock::time_point at)
    {
        std::lock_guard lock(m_mutex);
        if (!m_thread.joinable())
            m_thread = std::thread([this] { run(); });
        const std::uint64_t id = ++m_lastId;
        m_calls.emplace(id, Call{at, fd, false});
        m_wake.notify_one();
        return id;
    }

    // Returns whether the call was given up. Under the lock: once disarmed, its socket
    // (which the caller may close next) is never touched.
    bool disarm(std::uint64_t id)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_calls.find(id);
        const bool fired = it != m_calls.end() && it->second.fired;
        if (it != m_calls.end())
            m_calls.erase(it);
        return fired;
    }

    bool fired(std::uint64_t id)
    {
        std::lock_guard lock(m_mutex);
        const auto it = m_calls.find(id);
        return it != m_calls.end() && it->second.fired;
    }

    ~Watchdog()
    {
        {
            std::lock_guard lock(m_mutex);
            m_stop = true;
            m_wake.notify_one();
        }
        if (m_thread.joinable())
            m_thread.join();
    }

private:
    struct Call {
        SteadyClock::time_point at;
        int fd;
        bool fired;
    };

    void run()
    {
        std::unique_lock lock(m_mutex);
        while (!m_stop) {
            auto next = SteadyClock::time_point::max();
            const auto now = SteadyClock::now();
            for (auto& [id, call] : m_calls) {
                if (call.fired)
                    continue;
                if (call.at <= now) {
                    call.fired = true;
#ifdef KIOSK_LIBPQ
                    ::shutdown(call.fd, SHUT_RDWR);
#endif
                } else {
                    next = std::min(next, call.at);
                }
            }
            if (next == SteadyClock::time_point::max())
                m_wake.wait(lock);
            else
                m_wake.wait_until(lock, next);
        }
    }

    std::mutex m_mutex;
    std::condition_variable m_wake;
    std::map<std::uint64_t, Call> m_calls;
    std::uint64_t m_lastId = 0;
    bool m_stop = false;
    std::thread m_thread;
};

// The session's socket, or -1 when it is not a PostgreSQL session (or libpq is not at hand).
int sessionSocket(const QSqlDatabase& db)
{
#ifdef KIOSK_LIBPQ
    if (!db.isValid() || !db.isOpen() || !db.driver())
        return -1;
    const QVariant handle = db.driver()->handle();
    // Qt's PostgreSQL driver names the handle by libpq's struct ("pg_conn*") or its typedef.
    if (qstrcmp(handle.typeName(), "pg_conn*") != 0 && qstrcmp(handle.typeName(), "PGconn*") != 0)
        return -1;
    auto* conn = *static_cast<PGconn* const*>(handle.constData());
    return conn ? PQsocket(conn) : -1;
#else
    Q_UNUSED(db);
    return -1;
#endif
}
} // namespace

CallDeadline::CallDeadline(const QSqlDatabase& db, int timeoutMs, bool* givenUp) : m_givenUp(givenUp)
{
    if (m_givenUp)
        *m_givenUp = false;
    if (timeoutMs <= 0)
        return;
    const int fd = sessionSocket(db);
    if (fd < 0)
        return;
    m_id = Watchdog::instance().arm(fd, SteadyClock::now() + std::chrono::milliseconds(timeoutMs + graceMs));
}

CallDeadline::~CallDeadline()
{
    const bool fired = m_id && Watchdog::instance().disarm(m_id);
    if (m_givenUp)
        *m_givenUp = fired;
}

bool CallDeadline::expired() const
{
    return m_id && Watchdog::instance().fired(m_id);
}
