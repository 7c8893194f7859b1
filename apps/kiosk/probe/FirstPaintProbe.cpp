#include "FirstPaintProbe.h"

#include "ProcessFigures.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>

FirstPaintProbe::FirstPaintProbe(QString windowName, bool afterActivation, QObject* parent)
    : QObject(parent), m_name(std::move(windowName)), m_armed(!afterActivation)
{
    QCoreApplication::instance()->installEventFilter(this);
}

FirstPaintProbe::~FirstPaintProbe()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void FirstPaintProbe::ensurePaint(QWidget* window)
{
    if (!m_seen)
        window->update();
}

bool FirstPaintProbe::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Paint && type != QEvent::WindowActivate) || m_seen || !watched->isWidgetType())
        return false;
    const QWidget* window = static_cast<QWidget*>(watched)->window();
    if (window->objectName() != m_name)
        return false;
    if (type == QEvent::WindowActivate) {
        // Seen before the window's own activation handler runs; any paint after it shows its work.
        m_armed = true;
    } else if (m_armed) {
        // The window and its controls paint, then the backing store is flushed, all
        // while one event is handled: take the figures from the queue, after it.
        // Any control counts, since opaque controls spare the window its own paint.
        m_seen = true;
        QCoreApplication::instance()->removeEventFilter(this);
        QTimer::singleShot(0, this, &FirstPaintProbe::report);
    }
    return false;
}

void FirstPaintProbe::report()
{
    std::printf("first-paint ms=%.1f rss-kb=%lld hwm-kb=%lld\n", ProcessFigures::millisecondsSinceLaunch(),
                static_cast<long long>(ProcessFigures::residentKb()),
                static_cast<long long>(ProcessFigures::peakResidentKb()));
    std::fflush(stdout);
    m_reported = true;
    emit painted();
}

IdleProbe::IdleProbe(QObject* parent) : QObject(parent) {}

void IdleProbe::start(int seconds)
{
    const double cpu0 = ProcessFigures::cpuMilliseconds();
    const qint64 wall0 = ProcessFigures::monotonicNanoseconds();
    QTimer::singleShot(seconds * 1000, Qt::PreciseTimer, this, [this, cpu0, wall0] {
        const double cpu = ProcessFigures::cpuMilliseconds() - cpu0;
        const double wall = double(ProcessFigures::monotonicNanoseconds() - wall0) / 1e6;
        std::printf("idle cpu-ms=%.1f wall-ms=%.1f share=%.3f%%\n", cpu, wall, wall > 0 ? 100.0 * cpu / wall : 0.0);
        std::fflush(stdout);
        emit measured();
    });
}
