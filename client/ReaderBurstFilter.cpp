#include "ReaderBurstFilter.h"

#include "Clock.h"
#include "Logging.h"

#include <QTimer>

#include <utility>

namespace
{
bool isEnter(int code)
{
    return code == Qt::Key_Return || code == Qt::Key_Enter;
}
} // namespace

ReaderBurstFilter::ReaderBurstFilter(Release release, QObject* parent)
    : QObject(parent), m_release(std::move(release)), m_timer(new QTimer(this))
{
    m_timer->setObjectName(QStringLiteral("tmrKeyHold"));
    m_timer->setSingleShot(true);
    m_timer->setTimerType(Qt::PreciseTimer);
    connect(m_timer, &QTimer::timeout, this, &ReaderBurstFilter::holdTick);
}

void ReaderBurstFilter::take(int code, const QString& text)
{
    const QDateTime now = Clock::instance().now();
    // A key after the pause belongs to a new run, also when the timer has not ticked yet.
    if (!m_run.isEmpty() && m_run.last().at.msecsTo(now) >= holdMs)
        endRun();
    m_run.append({{code, text}, now});
    if (isEnter(code)) {
        // A reader ends its code with Enter: the run is decided now, and a person's Enter acts at once.
        endRun();
        return;
    }
    m_timer->start(holdMs);
}

void ReaderBurstFilter::holdTick()
{
    if (m_run.isEmpty())
        return;
    const qint64 quiet = m_run.last().at.msecsTo(Clock::instance().now());
    if (quiet < holdMs) {
        m_timer->start(int(holdMs - quiet));
        return;
    }
    endRun();
}

bool ReaderBurstFilter::isBurst(const QList<Held>& run)
{
    // Characters only: keys that type nothing (Shift before a capital) neither count nor break a run.
    QList<QDateTime> typed;
    for (const Held& h : run)
        if (!h.key.text.isEmpty())
            typed.append(h.at);
    for (qsizetype i = 0; i + burstCharacters - 1 < typed.size(); ++i)
        if (typed.at(i).msecsTo(typed.at(i + burstCharacters - 1)) <= burstWindowMs)
            return true;
    return false;
}

void ReaderBurstFilter::endRun()
{
    m_timer->stop();
    if (m_run.isEmpty())
        return;
    // Taken out first: a released key (Enter starting a purchase) may run while new keys arrive.
    const QList<Held> run = std::exchange(m_run, {});
    if (isBurst(run)) {
        // The code itself stays out of the log: it identifies a person.
        qCInfo(lcScreen) << "keys at a reader's pace dropped:" << run.size() << "keys";
        return;
    }
    for (const Held& h : run)
        m_release(h.key);
}
