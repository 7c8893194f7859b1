#include "ScriptPlayer.h"

#include "ScreenPicture.h"
#include "ScreenWatcher.h"

#include <QAbstractButton>
#include <QApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLoggingCategory>
#include <QMessageBox>
#include <QMouseEvent>
#include <QTimer>
#include <memory>

Q_LOGGING_CATEGORY(lcScript, "kiosk.script", QtInfoMsg)

namespace
{
// An unmet expectation or a line that cannot be carried out; caught per line.
struct LineFailure {
    QString reason;
};

QString captionOf(const QWidget* w)
{
    const QVariant text = w->property("text");
    if (text.isValid())
        return text.toString();
    if (w->isWindow())
        return w->windowTitle();
    throw LineFailure{QStringLiteral("%1 has no caption").arg(w->objectName())};
}

QString shown(const QString& text)
{
    return KioskScript::quoted(text);
}
} // namespace

ScriptPlayer::ScriptPlayer(KioskScript script, QObject* parent) : QObject(parent), m_script(std::move(script)) {}

ScriptPlayer::~ScriptPlayer()
{
    if (QCoreApplication::instance())
        QCoreApplication::instance()->removeEventFilter(this);
}

// Which window was activated last: a screen counts as up once its activation
// (the handler that loads what it shows) has been delivered, not merely once the
// platform calls it active, which on some platforms comes first.
bool ScriptPlayer::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() == QEvent::WindowActivate && watched->isWidgetType() &&
        static_cast<QWidget*>(watched)->isWindow())
        m_activated = static_cast<QWidget*>(watched);
    return false;
}

void ScriptPlayer::start(QWidget* screen)
{
    if (m_started)
        return;
    m_started = true;
    m_screen = screen;
    if (!m_screens.isEmpty()) {
        // The session starts the script once this screen is up, its activation delivered.
        if (screen && screen->isActiveWindow())
            m_activated = screen;
        QCoreApplication::instance()->installEventFilter(this);
    }
    QTimer::singleShot(0, this, &ScriptPlayer::playNext);
}

void ScriptPlayer::abandon()
{
    if (m_finished)
        return;
    if (m_next < m_script.commands().size())
        fail(m_script.commands()[m_next], QStringLiteral("the screen closed before this line"));
    else
        finish(QString());
}

void ScriptPlayer::playNext()
{
    if (m_finished)
        return;
    if (m_next >= m_script.commands().size()) {
        finish(QString());
        return;
    }
    QWidget* front = screen();
    // A screen that is asking the store (the home screen looking a code up) is left
    // to it: the next line comes once it takes input again, a minute at most.
    if (front && front->property("storeBusy").toBool() && m_busyWaitedMs < 60000) {
        m_busyWaitedMs += 20;
        QTimer::singleShot(20, this, &ScriptPlayer::playNext);
        return;
    }
    m_busyWaitedMs = 0;
    const KioskScript::Command c = m_script.commands()[m_next++];
    if (!front || !front->isVisible()) {
        fail(c, QStringLiteral("the screen closed before this line"));
        return;
    }
    qCDebug(lcScript).noquote() << "line" << c.lineNumber << c.line;
    try {
        play(c);
    } catch (const LineFailure& f) {
        fail(c, f.reason);
    }
}

// Two hops through the event queue: whatever the last line posted (repaints,
// deferred handlers) runs before the next line looks at the screen.
void ScriptPlayer::playAfterEvents()
{
    QTimer::singleShot(0, this, [this] { QTimer::singleShot(0, this, &ScriptPlayer::playNext); });
}

// Keys the screen holds back (its key hold timer running) reach it when the timer
// has run out; the next line comes after them.
void ScriptPlayer::playAfterHeldKeys()
{
    const QWidget* window = screen();
    const auto* hold = window ? window->findChild<QTimer*>(QStringLiteral("tmrKeyHold")) : nullptr;
    if (hold && hold->isActive())
        QTimer::singleShot(10, this, &ScriptPlayer::playAfterHeldKeys);
    else
        playAfterEvents();
}

// A press or a key may open a message box or start a wait that runs its own event
// loop and returns only when it ends. The next line is queued before the action:
// if it comes up while the action is still running, the script goes on inside
// that loop (to answer the box); otherwise it waits for the action's own events.
void ScriptPlayer::act(const std::function<void()>& action)
{
    auto running = std::make_shared<bool>(true);
    QTimer::singleShot(0, this, [this, running] {
        if (*running)
            playNext();
        else
            playAfterEvents();
    });
    action();
    *running = false;
}

// The purchase runs by itself: the next line waits until the screen says it has ended
// (a minute at most), looking every 50 ms.
void ScriptPlayer::awaitPurchase(const KioskScript::Command& c, int waitedMs)
{
    QWidget* s = screen();
    if (!s || !s->property("purchaseRunning").toBool()) {
        playAfterEvents();
        return;
    }
    if (waitedMs >= 60000) {
        fail(c, QStringLiteral("the purchase did not end within a minute"));
        return;
    }
    QTimer::singleShot(50, this, [this, c, waitedMs] { awaitPurchase(c, waitedMs + 50); });
}

void ScriptPlayer::play(const KioskScript::Command& c)
{
    using Op = KioskScript::Op;
    switch (c.op) {
    case Op::Click: {
        QWidget* target = requireControl(c.name);
        if (!target->isVisible())
            throw LineFailure{QStringLiteral("%1 is not visible").arg(c.name)};
        if (!target->isEnabled())
            throw LineFailure{QStringLiteral("%1 is disabled").arg(c.name)};
        QWidget* box = openMessageBox();
        if (box && box != target && !box->isAncestorOf(target))
            throw LineFailure{QStringLiteral("a message box is open over %1 (answer it first)").arg(c.name)};
        QPointer<QWidget> guarded = target;
        act([this, guarded] {
            if (guarded)
                press(guarded);
        });
        return;
    }
    case Op::Key: {
        // The recharge screen holds typed keys until it is clear a person typed them (a
        // reader's burst is dropped whole): the next line waits until the screen took the key.
        auto running = std::make_shared<bool>(true);
        QTimer::singleShot(0, this, [this, running] {
            if (*running)
                playNext();
            else
                playAfterHeldKeys();
        });
        typeKey(c.name);
        *running = false;
        return;
    }
    case Op::Answer:
        answer(c.name);
        break;
    case Op::Wait:
        QTimer::singleShot(c.milliseconds, Qt::PreciseTimer, this, &ScriptPlayer::playNext);
        return;
    case Op::WaitPurchase:
        awaitPurchase(c, 0);
        return;
    case Op::Expect: {
        const QString caption = captionOf(requireControl(c.name));
        if (caption != c.text)
            throw LineFailure{QStringLiteral("caption is %1").arg(shown(caption))};
        break;
    }
    case Op::ExpectVisible:
        if (requireControl(c.name)->isVisible() != c.flag)
            throw LineFailure{
                QStringLiteral("%1 is %2").arg(c.name, c.flag ? QStringLiteral("hidden") : QStringLiteral("visible"))};
        break;
    case Op::ExpectEnabled:
        if (requireControl(c.name)->isEnabled() != c.flag)
            throw LineFailure{QStringLiteral("%1 is %2")
                                  .arg(c.name, c.flag ? QStringLiteral("disabled") : QStringLiteral("enabled"))};
        break;
    case Op::Screenshot:
        screenshot(c.name);
        break;
    case Op::Screen:
        awaitScreen(c, -1);
        return;
    }
    playAfterEvents();
}

void ScriptPlayer::fail(const KioskScript::Command& c, const QString& reason)
{
    finish(QStringLiteral("line %1: %2: %3").arg(c.lineNumber).arg(c.line, reason));
}

void ScriptPlayer::finish(const QString& failure)
{
    if (m_finished)
        return;
    m_finished = true;
    m_failure = failure;
    emit finished(failure.isEmpty());
}

QWidget* ScriptPlayer::screen() const
{
    for (const QString& name : m_screens) {
        for (QWidget* top : QApplication::topLevelWidgets()) {
            if (top->isVisible() && top->objectName() == name)
                return top;
        }
    }
    return m_screen;
}

// Up means shown and activated (its activation handler loads what it shows); a
// platform that never activates a window gets the grace the screen watcher gives.
void ScriptPlayer::awaitScreen(const KioskScript::Command& c, qint64 startedMs)
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    if (startedMs < 0)
        startedMs = clock.elapsed();
    QWidget* front = screen();
    const bool inFront = front && front->objectName() == c.name && !openMessageBox();
    if (inFront) {
        if (!m_shownSinceMs)
            m_shownSinceMs = clock.elapsed();
        if (front == m_activated || clock.elapsed() - *m_shownSinceMs >= ScreenWatcher::activationGraceMs) {
            m_shownSinceMs.reset();
            playAfterEvents();
            return;
        }
    } else {
        m_shownSinceMs.reset();
    }
    if (clock.elapsed() - startedMs >= screenWaitMs) {
        m_shownSinceMs.reset();
        fail(c, QStringLiteral("%1 is in front, not %2")
                    .arg(front ? front->objectName() : QStringLiteral("no screen"), c.name));
        return;
    }
    QTimer::singleShot(10, this, [this, c, startedMs] {
        if (!m_finished)
            awaitScreen(c, startedMs);
    });
}

// The open message box, not a screen (which runs modally itself).
QWidget* ScriptPlayer::openMessageBox() const
{
    QWidget* modal = QApplication::activeModalWidget();
    if (!modal || modal == m_screen || m_screens.contains(modal->objectName()))
        return nullptr;
    return modal;
}

// Looked up where a person would look: the open message box first, then the
// screen, then any other window that is showing.
QWidget* ScriptPlayer::control(const QString& name) const
{
    QWidget* front = screen();
    if (!front)
        return nullptr;
    if (front->objectName() == name)
        return front;
    if (QWidget* box = openMessageBox()) {
        if (box->objectName() == name)
            return box;
        if (auto* w = box->findChild<QWidget*>(name))
            return w;
    }
    if (auto* w = front->findChild<QWidget*>(name))
        return w;
    for (QWidget* top : QApplication::topLevelWidgets()) {
        if (!top->isVisible())
            continue;
        if (top->objectName() == name)
            return top;
        if (auto* w = top->findChild<QWidget*>(name))
            return w;
    }
    return nullptr;
}

QWidget* ScriptPlayer::requireControl(const QString& name) const
{
    QWidget* w = control(name);
    if (!w)
        throw LineFailure{QStringLiteral("no control named %1").arg(name)};
    return w;
}

// A left-button press and release in the middle of the control, as a touch gives.
void ScriptPlayer::press(QWidget* target) const
{
    QPointer<QWidget> guarded = target;
    const QPointF local = QRectF(target->rect()).center();
    const QPointF global = target->mapToGlobal(local);
    QMouseEvent down(QEvent::MouseButtonPress, local, global, Qt::LeftButton, Qt::LeftButton, Qt::NoModifier);
    QCoreApplication::sendEvent(target, &down);
    if (!guarded)
        return;
    QMouseEvent up(QEvent::MouseButtonRelease, local, global, Qt::LeftButton, Qt::NoButton, Qt::NoModifier);
    QCoreApplication::sendEvent(guarded, &up);
}

// Goes to the focused control of the window in front (the message box when one is
// open), or to that window itself, so that the screen's key preview sees it.
void ScriptPlayer::typeKey(const QString& key) const
{
    int code = 0;
    QString text;
    Qt::KeyboardModifiers modifiers = Qt::NoModifier;
    if (key == QLatin1String("Backspace")) {
        code = Qt::Key_Backspace;
        text = QStringLiteral("\b");
    } else if (key == QLatin1String("Enter")) {
        code = Qt::Key_Return;
        text = QStringLiteral("\r");
    } else if (key == QLatin1String("Escape")) {
        code = Qt::Key_Escape;
        text = QStringLiteral("\x1b");
    } else {
        const QChar c = key[0];
        code = c.isDigit() ? Qt::Key_0 + c.digitValue() : Qt::Key_A + (c.toUpper().unicode() - 'A');
        if (c.isUpper())
            modifiers = Qt::ShiftModifier;
        text = key;
    }
    QWidget* window = openMessageBox();
    if (!window)
        window = screen();
    if (!window)
        return;
    QPointer<QWidget> target = window->focusWidget() ? window->focusWidget() : window;
    QKeyEvent down(QEvent::KeyPress, code, modifiers, text);
    QCoreApplication::sendEvent(target, &down);
    if (!target)
        return;
    QKeyEvent up(QEvent::KeyRelease, code, modifiers, text);
    QCoreApplication::sendEvent(target, &up);
}

void ScriptPlayer::answer(const QString& button) const
{
    QWidget* box = openMessageBox();
    if (!box)
        throw LineFailure{QStringLiteral("no message box is open")};
    QAbstractButton* target = nullptr;
    if (auto* standard = qobject_cast<QMessageBox*>(box)) {
        target = standard->button(button == QLatin1String("yes")  ? QMessageBox::Yes
                                  : button == QLatin1String("no") ? QMessageBox::No
                                                                  : QMessageBox::Ok);
    } else {
        const QString name = button == QLatin1String("yes")  ? QStringLiteral("btnYes")
                             : button == QLatin1String("no") ? QStringLiteral("btnNo")
                                                             : QStringLiteral("btnOk");
        target = box->findChild<QAbstractButton*>(name);
    }
    if (!target || !target->isVisible())
        throw LineFailure{QStringLiteral("the open message box has no %1 button").arg(button)};
    // Pressing a message box button only closes the box; its loop returns after this line.
    press(target);
}

void ScriptPlayer::screenshot(const QString& file) const
{
    if (!ScreenPicture::save(screen(), file))
        throw LineFailure{QStringLiteral("cannot write %1").arg(file)};
    qCInfo(lcScript).noquote() << "screenshot saved to" << file;
}
