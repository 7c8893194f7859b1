#pragma once

#include <QObject>
#include <QPointer>
#include <QWidget>

// Prints, once a window has painted and flushed what it shows, the time since
// the process was launched and its resident memory:
//   first-paint ms=87.4 rss-kb=61234 hwm-kb=61240
// The kiosk and the bare window of the benchmark measure the same way.
class FirstPaintProbe : public QObject
{
    Q_OBJECT
public:
    explicit FirstPaintProbe(QObject* parent = nullptr);
    // Asks the window for a paint and waits for it (a pending one counts).
    void start(QWidget* window);
    // Waits for the window's next paint without asking for one.
    void watch(QWidget* window);

signals:
    void painted();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void report();

    QPointer<QWidget> m_window;
    bool m_done = false;
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
