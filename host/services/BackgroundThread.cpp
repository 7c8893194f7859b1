#include "BackgroundThread.h"

BackgroundThread::BackgroundThread(const QString& name, QObject* parent) : QObject(parent), m_context(new QObject)
{
    m_thread.setObjectName(name);
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

BackgroundThread::~BackgroundThread()
{
    m_thread.quit();
    m_thread.wait();
}

void BackgroundThread::run(std::function<void()> job, std::function<void()> done)
{
    QMetaObject::invokeMethod(
        m_context,
        [this, job = std::move(job), done = std::move(done)] {
            job();
            // Queued to this object: the call is dropped if it is deleted meanwhile, and
            // this object outlives the thread's jobs (its destructor waits for them).
            if (done)
                QMetaObject::invokeMethod(this, done, Qt::QueuedConnection);
        },
        Qt::QueuedConnection);
}
