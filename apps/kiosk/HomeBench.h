#pragma once

#include <QList>
#include <QObject>
#include <QPointer>
#include <QStringList>

class HomeLoop;
class TfrmHome;

// Benchmark of the running kiosk (kiosk --measure-home N): N consumer sessions one
// after the other on the home screen, each typed as a badge reader types (the code
// and Enter), timed from the Enter to the first paint of the recharge screen after
// its activation (its balances loaded), then closed as the back button would.
// Prints the times (median and p99 of the first 200 sessions and of all) and the
// resident memory after 10 sessions and after N:
//   home-session sessions=200 median-ms=31.2 p99-ms=45.0
//   home-session sessions=1000 median-ms=30.8 p99-ms=44.1
//   home-rss after-10-kb=61234 after-1000-kb=62001 ratio=1.013
class HomeBench : public QObject
{
    Q_OBJECT
public:
    HomeBench(TfrmHome& home, HomeLoop& loop, QStringList codes, int sessions, QObject* parent = nullptr);
    ~HomeBench() override;

    // Once the home screen is up.
    void start();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void next();
    void sessionDone();
    void report();

    QPointer<TfrmHome> m_home;
    QStringList m_codes;
    int m_sessions;
    int m_done = 0;
    qint64 m_enteredNs = 0;
    bool m_armed = false;
    bool m_painted = false;
    QList<double> m_ms;
    qint64 m_rssAfter10 = 0;
};
