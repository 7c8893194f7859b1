#pragma once

#include "ModuleExport.h"
#include "TerminalPrompter.h"

#include <QObject>
#include <QVariant>

#include <atomic>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <optional>

// A question of the card terminal, as the screen shows it.
struct TerminalQuestion {
    enum class Kind { Menu, YesNo, Field, PressKey };
    quint64 id = 0;
    Kind kind = Kind::PressKey;
    QString text;        // the menu's title, the question, the field's prompt or the notice
    QStringList options; // a menu's options, in order
    TerminalPrompter::Field field;
};

// Hands the card terminal's questions from the store worker, where the card transaction
// runs, to the screen, and the consumer's answers back. Each question the terminal asks
// blocks the worker (never the screen) until the screen answers it or the purchase is
// given up: the back button, the idle countdown or the screen going away. Once given up,
// the question open and every later one answer "gave up" at once, and the terminal's
// abort checks say so, so the sale is interrupted and nothing is charged. An answer that
// comes late (to a question no longer open) goes nowhere.
// Lives on the screen's thread; the terminal's calls come from the worker's.
class KVB_EXPORT ScreenPrompter : public QObject, public TerminalPrompter
{
    Q_OBJECT
public:
    // Whoever drops the last reference, the object is deleted on the screen's thread.
    static std::shared_ptr<ScreenPrompter> create();

    // The terminal's side (the worker's thread).
    std::optional<int> menu(const QString& title, const QStringList& options) override;
    std::optional<bool> question(const QString& text) override;
    std::optional<QString> field(const Field& field) override;
    bool pressKey(const QString& text) override;
    bool abortRequested() override { return m_gaveUp; }

    // The screen's side. `value`: the option's position, yes or no, the typed text;
    // anything for a notice.
    void answer(quint64 id, const QVariant& value);
    void giveUp();
    bool gaveUp() const { return m_gaveUp; }

signals:
    // A question to show (the screen's thread).
    void asked(const TerminalQuestion& question);
    // The purchase was given up: whatever is shown goes.
    void givenUp();

private:
    ScreenPrompter() = default;
    // Blocks the calling (worker) thread until answered or given up; nothing when given up.
    std::optional<QVariant> ask(TerminalQuestion question);

    std::mutex m_lock;
    std::condition_variable m_changed;
    quint64 m_lastId = 0;
    quint64 m_openId = 0;
    std::optional<QVariant> m_answer;
    std::atomic<bool> m_gaveUp{false};
};
