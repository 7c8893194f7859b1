#pragma once

#include "HostExport.h"

#include <QObject>
#include <QThread>
#include <functional>

// A thread of its own for slow work a screen must not wait on (the store above all: a
// server that accepts and never answers holds a call until its time-out). Jobs run one
// after the other, in the order given; each job's `done` comes back as a queued call on
// the thread that owns this object, and is dropped when the object is gone by then.
class HOST_EXPORT BackgroundThread : public QObject
{
public:
    explicit BackgroundThread(const QString& name, QObject* parent = nullptr);
    // Lets the running job end (it is not interrupted), then stops the thread.
    ~BackgroundThread() override;

    // `job` runs on the background thread and must not throw; `done`, when given, runs
    // afterwards on this object's thread.
    void run(std::function<void()> job, std::function<void()> done = {});

private:
    QThread m_thread;
    QObject* m_context; // lives on m_thread: jobs are queued to it
};
