#pragma once

#include <QObject>
#include <QPointer>
#include <QTimer>
#include <QWidget>

// Tells when the window of a given object name is up. The recharge screen loads
// the consumer's balances when it is activated, so with `afterActivation` the
// window counts as up once shown and activated, or, on a platform that never
// activates it, a moment after it was shown. The signal comes from the event
// queue, after the window's own show and activation handlers have run.
class ScreenWatcher : public QObject
{
    Q_OBJECT
public:
    ScreenWatcher(QString windowName, bool afterActivation, QObject* parent = nullptr);
    ~ScreenWatcher() override;

    QWidget* window() const { return m_window; }
    // How long to wait for an activation that does not come.
    static constexpr int activationGraceMs = 2000;

signals:
    void ready(QWidget* window);
    void hidden();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void announce();

    QString m_name;
    bool m_afterActivation;
    QPointer<QWidget> m_window;
    bool m_announced = false;
    QTimer m_grace;
};
