#pragma once

#include "KioskScript.h"

#include <QObject>
#include <QPointer>
#include <QStringList>
#include <QTimer>
#include <QWidget>
#include <memory>
#include <optional>

class FirstPaintProbe;
class IdleProbe;
class ScreenWatcher;
class ScriptPlayer;

// The optional work of one kiosk run against the live screen, in this order once
// the screen is up (shown and activated, so the balances are loaded): print the
// first-paint figures, play a script, save a screenshot, measure the idle CPU
// time; then close the screen. With none of them the screen is left to the consumer.
class ScreenSession : public QObject
{
    Q_OBJECT
public:
    struct Options {
        bool firstPaint = false;
        std::optional<KioskScript> script;
        QString scriptName; // prefixed to the failing line in failure()
        QString screenshot;
        int idleSeconds = 0;
        // The window the session waits for and closes at the end: the recharge
        // screen of one consumer, or the home screen of a kiosk that runs all day.
        QString screenName = QString::fromLatin1(rechargeScreen);
        // Screens a script's lines act on when showing, the one to prefer first.
        QStringList screens;
    };

    static constexpr const char* rechargeScreen = "frmRecSaldo";

    explicit ScreenSession(Options options, QObject* parent = nullptr);
    ~ScreenSession() override;

    // The screen's modal run has ended; a script with lines left fails at the first of them.
    void screenGone();

    bool succeeded() const { return m_failure.isEmpty(); }
    const QString& failure() const { return m_failure; }

private:
    bool hasWork() const;
    void onReady(QWidget* screen);
    void runScript();
    void saveScreenshot();
    void measureIdle();
    void closeScreen();
    QString scriptFailure() const;

    enum class Stage { Waiting, FirstPaint, Script, Screenshot, Idle, Done };

    Options m_options;
    Stage m_stage = Stage::Waiting;
    std::unique_ptr<ScreenWatcher> m_watcher;
    std::unique_ptr<FirstPaintProbe> m_paint;
    std::unique_ptr<IdleProbe> m_idle;
    std::unique_ptr<ScriptPlayer> m_player;
    QPointer<QWidget> m_screen;
    QString m_failure;
    QTimer m_closeDeadline;
    static constexpr int closeDeadlineMs = 10000;
};
