#pragma once

#include "ModuleExport.h"

#include <QObject>
#include <QThread>

#include <functional>
#include <memory>

class TrdmRecSaldo;

// The one thread of a screen for what may be slow: the store, the card terminal and the
// printer. It opens a data module with a store connection of its own the first time a job
// needs it; the server functions called from its jobs work on that module. Jobs run one
// after the other, in the order given; results go back to the screen as queued calls, so
// the screen's thread only paints and takes touches.
class KVB_EXPORT StoreWorker : public QObject
{
    Q_OBJECT
public:
    explicit StoreWorker(QObject* parent = nullptr);
    // Lets the job running now end, frees the worker's data module on its own thread, then stops.
    // Emits `stopping` first: a job waiting on the screen must be given up, or it never ends.
    ~StoreWorker() override;

    // Runs `job` on the worker thread. It must not throw; it reports back with `deliver`.
    void run(std::function<void()> job);
    // Calls `then` on `receiver`'s thread, unless the receiver is gone by then.
    static void deliver(QObject* receiver, std::function<void()> then);
    // True on the worker's thread (for the checks of code that must never run on the screen's).
    bool onWorkerThread() const;

signals:
    // The worker is going away (its screen closes): jobs waiting on the screen give up now.
    void stopping();

private:
    void withModule(const std::function<void()>& job);

    QThread m_thread;
    QObject* m_context; // lives on m_thread: jobs are queued to it
    std::unique_ptr<TrdmRecSaldo> m_module;
};
