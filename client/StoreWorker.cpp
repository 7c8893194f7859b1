#include "StoreWorker.h"

#include "Logging.h"
#include "ServerModule.h"
#include "SqlConnection.h"
#include "TrdmRecSaldo.h"

#include <QPointer>

StoreWorker::StoreWorker(QObject* parent) : QObject(parent), m_context(new QObject)
{
    m_thread.setObjectName(QStringLiteral("kiosk-store-worker"));
    m_context->moveToThread(&m_thread);
    connect(&m_thread, &QThread::finished, m_context, &QObject::deleteLater);
    m_thread.start();
}

StoreWorker::~StoreWorker()
{
    emit stopping();
    // The data module was made on the worker's thread; it is freed there, after the last job.
    QMetaObject::invokeMethod(m_context, [this] { m_module.reset(); }, Qt::BlockingQueuedConnection);
    m_thread.quit();
    m_thread.wait();
}

void StoreWorker::run(std::function<void()> job)
{
    QMetaObject::invokeMethod(m_context, [this, job = std::move(job)] { withModule(job); }, Qt::QueuedConnection);
}

void StoreWorker::withModule(const std::function<void()>& job)
{
    if (!m_module) {
        // A connection that cannot be opened now is tried again by the server function that
        // needs it; the job's own failure handling then reports it.
        m_module = std::make_unique<TrdmRecSaldo>(nullptr);
        try {
            m_module->adcRecSaldo->open();
        } catch (const std::exception& e) {
            qCWarning(lcScreen).noquote() << "the store worker's connection did not open:" << e.what();
        }
    }
    const ServerModule::ThreadModule scope(m_module.get());
    job();
}

void StoreWorker::deliver(QObject* receiver, std::function<void()> then)
{
    QPointer<QObject> guard(receiver);
    QMetaObject::invokeMethod(
        receiver,
        [guard, then = std::move(then)] {
            if (guard)
                then();
        },
        Qt::QueuedConnection);
}

bool StoreWorker::onWorkerThread() const
{
    return QThread::currentThread() == &m_thread;
}
