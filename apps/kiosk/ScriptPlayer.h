#pragma once

#include "KioskScript.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QWidget>
#include <functional>
#include <optional>

// Plays a KioskScript against a live modal screen, one line after the other,
// with the screen's own event handling running in between, as a person at the
// kiosk would: controls are pressed with mouse events, keys go to the focused
// window so the screen's key preview sees them. Stops at the first unmet
// expectation; failure() then names the line and what was found instead.
class ScriptPlayer : public QObject
{
    Q_OBJECT
public:
    explicit ScriptPlayer(KioskScript script, QObject* parent = nullptr);
    ~ScriptPlayer() override;

    // Starts from a zero-timer, so call it once the screen is up.
    void start(QWidget* screen);
    // Screens that may come to the front while the script plays (the home screen,
    // then a consumer's recharge screen over it), the one to prefer first: lines
    // act on the first of them that is showing, else on the screen given to start.
    void setScreens(const QStringList& names) { m_screens = names; }
    // How long a `screen` line waits for its screen to be in front and up.
    static constexpr int screenWaitMs = 10000;
    // The screen went away with lines left: the first line not yet begun fails.
    void abandon();

    bool isFinished() const { return m_finished; }
    bool succeeded() const { return m_finished && m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }

signals:
    void finished(bool ok);

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void playNext();
    void awaitPurchase(const KioskScript::Command& c, int waitedMs);
    void playAfterEvents();
    void playAfterHeldKeys();
    void play(const KioskScript::Command& c);
    void act(const std::function<void()>& action);
    void fail(const KioskScript::Command& c, const QString& reason);
    void finish(const QString& failure);

    QWidget* screen() const;
    void awaitScreen(const KioskScript::Command& c, qint64 startedMs);
    QWidget* control(const QString& name) const;
    QWidget* requireControl(const QString& name) const;
    QWidget* openMessageBox() const;
    void press(QWidget* target) const;
    void typeKey(const QString& key) const;
    void answer(const QString& button) const;
    void screenshot(const QString& file) const;

    KioskScript m_script;
    QPointer<QWidget> m_screen;
    QStringList m_screens;
    QPointer<QWidget> m_activated;        // the window whose activation was delivered last
    std::optional<qint64> m_shownSinceMs; // a `screen` line's screen in front since then
    int m_next = 0;
    int m_busyWaitedMs = 0; // how long the next line has waited for a screen asking the store
    bool m_started = false;
    bool m_finished = false;
    QString m_failure;
};
