// Waiting while events keep flowing: handlers run inside the wait in their order,
// the wait ends on its condition or on the clock, never on real seconds.
#include "Clock.h"
#include "EventWait.h"

#include <QTimer>
#include <QtTest>

class TestEventWait : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 0))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    void untilRunsPendingEventsInOrderAndStopsOnTheCondition()
    {
        QStringList ran;
        int answer = 0;
        QTimer::singleShot(0, [&] { ran << "first"; });
        QTimer::singleShot(0, [&] {
            ran << "answer";
            answer = 2;
        });
        QTimer::singleShot(0, [&] { ran << "after"; });
        EventWait::until([&] { return answer != 0; });
        QCOMPARE(answer, 2);
        QCOMPARE(ran.first(), QStringLiteral("first"));
        QVERIFY(ran.contains(QStringLiteral("answer")));
    }

    void forMsEndsWhenTheClockHasMovedOn()
    {
        int eventsDuringWait = 0;
        QTimer::singleShot(0, [&] {
            ++eventsDuringWait;
            m_clock.advanceMs(2999);
            QTimer::singleShot(0, [&] {
                ++eventsDuringWait;
                m_clock.advanceMs(1);
            });
        });
        QElapsedTimer real;
        real.start();
        EventWait::forMs(3000);
        QCOMPARE(eventsDuringWait, 2);
        QVERIFY(real.elapsed() < 2000);
    }

    void forMsStopsEarlyOnRequest()
    {
        bool stop = false;
        QTimer::singleShot(0, [&] { stop = true; });
        const QDateTime before = m_clock.now();
        EventWait::forMs(3000, [&] { return stop; });
        QVERIFY(stop);
        QCOMPARE(m_clock.now(), before);
    }

    void nestedWaitsReturnInnermostFirst()
    {
        QStringList order;
        bool outerDone = false;
        bool innerDone = false;
        QTimer::singleShot(0, [&] {
            QTimer::singleShot(0, [&] { innerDone = true; });
            EventWait::until([&] { return innerDone; });
            order << "inner";
            outerDone = true;
        });
        EventWait::until([&] { return outerDone; });
        order << "outer";
        QCOMPARE(order, (QStringList{"inner", "outer"}));
    }
};

QTEST_GUILESS_MAIN(TestEventWait)
#include "tst_eventwait.moc"
