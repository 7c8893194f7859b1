#include "HomeBench.h"

#include "HomeLoop.h"
#include "ProcessFigures.h"
#include "TfrmHome.h"

#include <QCoreApplication>
#include <QEvent>
#include <QKeyEvent>
#include <QTimer>
#include <QWidget>
#include <algorithm>
#include <cstdio>

namespace
{
const char* const rechargeScreen = "frmRecSaldo";

double percentile(QList<double> values, double p)
{
    if (values.isEmpty())
        return 0;
    std::sort(values.begin(), values.end());
    const qsizetype index = qMin(values.size() - 1, qsizetype(p * double(values.size() - 1) + 0.5));
    return values[index];
}

void typeKey(QWidget* target, int key, const QString& text)
{
    QKeyEvent down(QEvent::KeyPress, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &down);
    QKeyEvent up(QEvent::KeyRelease, key, Qt::NoModifier, text);
    QCoreApplication::sendEvent(target, &up);
}
} // namespace

HomeBench::HomeBench(TfrmHome& home, HomeLoop& loop, QStringList codes, int sessions, QObject* parent)
    : QObject(parent), m_home(&home), m_codes(std::move(codes)), m_sessions(sessions)
{
    connect(&loop, &HomeLoop::consumerDone, this, &HomeBench::sessionDone);
}

HomeBench::~HomeBench()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

void HomeBench::start()
{
    QCoreApplication::instance()->installEventFilter(this);
    QTimer::singleShot(0, this, &HomeBench::next);
}

void HomeBench::next()
{
    if (!m_home)
        return;
    const QString code = m_codes.value(m_done % qMax<qsizetype>(1, m_codes.size()));
    for (const QChar c : code)
        typeKey(m_home, c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A + (c.unicode() - 'A'), QString(c));
    m_armed = false;
    m_painted = false;
    m_enteredNs = ProcessFigures::monotonicNanoseconds();
    typeKey(m_home, Qt::Key_Return, QStringLiteral("\r"));
}

// The recharge screen's first paint after its activation: its balances are on it.
bool HomeBench::eventFilter(QObject* watched, QEvent* event)
{
    const QEvent::Type type = event->type();
    if ((type != QEvent::Paint && type != QEvent::WindowActivate) || m_painted || !watched->isWidgetType())
        return false;
    QWidget* window = static_cast<QWidget*>(watched)->window();
    if (window->objectName() != QLatin1String(rechargeScreen))
        return false;
    if (type == QEvent::WindowActivate) {
        m_armed = true;
    } else if (m_armed) {
        m_painted = true;
        QPointer<QWidget> screen = window;
        QTimer::singleShot(0, this, [this, screen] {
            m_ms.append(double(ProcessFigures::monotonicNanoseconds() - m_enteredNs) / 1e6);
            if (screen)
                screen->close();
        });
    }
    return false;
}

void HomeBench::sessionDone()
{
    ++m_done;
    if (m_done == 10)
        m_rssAfter10 = ProcessFigures::residentKb();
    if (m_done >= m_sessions) {
        report();
        if (m_home)
            m_home->close();
        return;
    }
    QTimer::singleShot(0, this, &HomeBench::next);
}

void HomeBench::report()
{
    const QList<double> first = m_ms.mid(0, 200);
    std::printf("home-session sessions=%lld median-ms=%.1f p99-ms=%.1f\n", static_cast<long long>(first.size()),
                percentile(first, 0.5), percentile(first, 0.99));
    std::printf("home-session sessions=%lld median-ms=%.1f p99-ms=%.1f\n", static_cast<long long>(m_ms.size()),
                percentile(m_ms, 0.5), percentile(m_ms, 0.99));
    const qint64 rss = ProcessFigures::residentKb();
    std::printf("home-rss after-10-kb=%lld after-%d-kb=%lld ratio=%.3f\n", static_cast<long long>(m_rssAfter10), m_done,
                static_cast<long long>(rss), m_rssAfter10 > 0 ? double(rss) / double(m_rssAfter10) : 0.0);
    std::fflush(stdout);
}
