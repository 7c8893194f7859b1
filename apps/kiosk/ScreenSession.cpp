#include "ScreenSession.h"

#include "FirstPaintProbe.h"
#include "ScreenCloser.h"
#include "ScreenPicture.h"
#include "ScreenWatcher.h"
#include "ScriptPlayer.h"

#include <cstdio>
#include <cstdlib>

ScreenSession::ScreenSession(Options options, QObject* parent) : QObject(parent), m_options(std::move(options))
{
    if (!hasWork())
        return;
    // Watching from the start: the first paint may come before the screen counts as up.
    if (m_options.firstPaint)
        m_paint = std::make_unique<FirstPaintProbe>(m_options.screenName, true);
    m_watcher = std::make_unique<ScreenWatcher>(m_options.screenName, true);
    connect(m_watcher.get(), &ScreenWatcher::ready, this, &ScreenSession::onReady);
}

ScreenSession::~ScreenSession() = default;

bool ScreenSession::hasWork() const
{
    return m_options.firstPaint || m_options.script || !m_options.screenshot.isEmpty() || m_options.idleSeconds > 0;
}

void ScreenSession::onReady(QWidget* screen)
{
    m_screen = screen;
    if (!m_options.firstPaint) {
        runScript();
        return;
    }
    m_stage = Stage::FirstPaint;
    if (m_paint->reported()) {
        runScript();
        return;
    }
    connect(m_paint.get(), &FirstPaintProbe::painted, this, &ScreenSession::runScript);
    m_paint->ensurePaint(screen);
}

void ScreenSession::runScript()
{
    if (!m_options.script) {
        saveScreenshot();
        return;
    }
    m_stage = Stage::Script;
    m_player = std::make_unique<ScriptPlayer>(*m_options.script);
    m_player->setScreens(m_options.screens);
    connect(m_player.get(), &ScriptPlayer::finished, this, [this](bool ok) {
        if (ok) {
            saveScreenshot();
        } else {
            m_failure = scriptFailure();
            closeScreen();
        }
    });
    m_player->start(m_screen);
}

void ScreenSession::saveScreenshot()
{
    if (!m_options.screenshot.isEmpty()) {
        m_stage = Stage::Screenshot;
        if (!m_screen || !m_screen->isVisible())
            return; // reported by screenGone
        if (!ScreenPicture::save(m_screen, m_options.screenshot)) {
            m_failure = QStringLiteral("cannot write %1").arg(m_options.screenshot);
            closeScreen();
            return;
        }
        qInfo("screenshot saved to %s", qPrintable(m_options.screenshot));
    }
    measureIdle();
}

void ScreenSession::measureIdle()
{
    if (m_options.idleSeconds <= 0) {
        closeScreen();
        return;
    }
    m_stage = Stage::Idle;
    m_idle = std::make_unique<IdleProbe>();
    connect(m_idle.get(), &IdleProbe::measured, this, &ScreenSession::closeScreen);
    m_idle->start(m_options.idleSeconds);
}

QString ScreenSession::scriptFailure() const
{
    const QString& failure = m_player->failure();
    return m_options.scriptName.isEmpty() ? failure : m_options.scriptName + QStringLiteral(", ") + failure;
}

void ScreenSession::closeScreen()
{
    if (m_failure.isEmpty())
        m_stage = Stage::Done;
    if (!m_screen)
        return;
    ScreenCloser::close(m_screen);
    // A handler that waits for something nobody will do (the card type) keeps the
    // screen's run going even once it is hidden: a check must not hang the kiosk.
    m_closeDeadline.setSingleShot(true);
    connect(&m_closeDeadline, &QTimer::timeout, this, [this] {
        if (!m_failure.isEmpty()) // the line that failed comes first: it is why the screen was closed
            std::fprintf(stderr, "kiosk: %s\n", qPrintable(m_failure));
        std::fprintf(stderr, "kiosk: the screen's run did not end within %d s of closing it; ending the kiosk\n",
                     closeDeadlineMs / 1000);
        std::fflush(nullptr);
        std::_Exit(1);
    });
    m_closeDeadline.start(closeDeadlineMs);
}

void ScreenSession::screenGone()
{
    m_closeDeadline.stop();
    if (!hasWork() || m_stage == Stage::Done || !m_failure.isEmpty())
        return;
    switch (m_stage) {
    case Stage::Waiting:
    case Stage::FirstPaint:
        m_failure = QStringLiteral("the screen closed before it was up");
        return;
    case Stage::Script:
        // A script may end by closing the screen (the back button, a timeout).
        m_player->abandon();
        if (!m_player->succeeded())
            m_failure = scriptFailure();
        else if (!m_options.screenshot.isEmpty() || m_options.idleSeconds > 0)
            m_failure = QStringLiteral("the screen closed with the script");
        return;
    case Stage::Screenshot:
        m_failure = QStringLiteral("the screen closed before the screenshot");
        return;
    case Stage::Idle:
        m_failure = QStringLiteral("the screen closed while its idle time was measured");
        return;
    case Stage::Done:
        return;
    }
}
