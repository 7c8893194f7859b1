#include "FirstPaintProbe.h"

#include "ProcessFigures.h"

#include <QCoreApplication>
#include <QEvent>
#include <QTimer>
#include <cstdio>

FirstPaintProbe::FirstPaintProbe(QObject* parent) : QObject(parent) {}

void FirstPaintProbe::start(QWidget* window)
{
    watch(window);
    window->update();
}

void FirstPaintProbe::watch(QWidget* window)
{
    m_window = window;
    QCoreApplication::instance()->installEventFilter(this);
}

bool FirstPaintProbe::eventFilter(QObject* watched, QEvent* event)
{
    // The window and its controls paint, then the backing store is flushed, all
    // while one event is handled: report from the queue, after it. Any control
    // counts, since opaque controls spare the window its own paint.
    if (event->type() == QEvent::Paint && !m_done && m_window && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->window() == m_window) {
        m_done = true;
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
