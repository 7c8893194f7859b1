#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Prints, once the named window has painted and flushed what it shows, the time
// since the process was launched and its resident memory:
//   first-paint ms=87.4 rss-kb=61234 hwm-kb=61240
// With `afterActivation` only a paint after the window's activation counts: the
// recharge screen loads the consumer's balances while it is activated. The
// kiosk and the bare window of the benchmark measure the same way.
class FirstPaintProbe : public QObject
{
    Q_OBJECT
public:
    FirstPaintProbe(QString windowName, bool afterActivation, QObject* parent = nullptr);
    ~FirstPaintProbe() override;

    // Once the window is up: asks it for a paint unless one already counted or
    // is on its way, so that a window with nothing new to show still reports.
    void ensurePaint(QWidget* window);
    bool reported() const { return m_reported; }

signals:
    void painted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();

    QString m_name;
    bool m_armed;
    bool m_seen = false;
    bool m_reported = false;
};

// Prints the CPU time the process used over a stretch of idle time:
//   idle cpu-ms=4.0 wall-ms=10000.2 share=0.040%
class IdleProbe : public QObject
{
    Q_OBJECT
public:
    explicit IdleProbe(QObject* parent = nullptr);
    void start(int seconds);

signals:
    void measured();
};
