#include "ScreenPrompter.h"

std::shared_ptr<ScreenPrompter> ScreenPrompter::create()
{
    // The worker may hold the last reference (the terminal's); a QObject goes on its own thread.
    return std::shared_ptr<ScreenPrompter>(new ScreenPrompter, [](ScreenPrompter* p) { p->deleteLater(); });
}

std::optional<QVariant> ScreenPrompter::ask(TerminalQuestion question)
{
    std::unique_lock lock(m_lock);
    if (m_gaveUp)
        return std::nullopt;
    question.id = ++m_lastId;
    m_openId = question.id;
    m_answer.reset();
    lock.unlock();
    // Queued to this object: dropped by Qt if the screen's side is gone by then, and the
    // screen going away gives the purchase up, which ends the wait below.
    QMetaObject::invokeMethod(this, [this, question] { emit asked(question); }, Qt::QueuedConnection);
    lock.lock();
    m_changed.wait(lock, [this] { return m_answer.has_value() || m_gaveUp; });
    m_openId = 0;
    std::optional<QVariant> answer = m_gaveUp ? std::nullopt : m_answer;
    m_answer.reset();
    return answer;
}

std::optional<int> ScreenPrompter::menu(const QString& title, const QStringList& options)
{
    TerminalQuestion q;
    q.kind = TerminalQuestion::Kind::Menu;
    q.text = title;
    q.options = options;
    const std::optional<QVariant> a = ask(q);
    return a ? std::optional(a->toInt()) : std::nullopt;
}

std::optional<bool> ScreenPrompter::question(const QString& text)
{
    TerminalQuestion q;
    q.kind = TerminalQuestion::Kind::YesNo;
    q.text = text;
    const std::optional<QVariant> a = ask(q);
    return a ? std::optional(a->toBool()) : std::nullopt;
}

std::optional<QString> ScreenPrompter::field(const Field& field)
{
    TerminalQuestion q;
    q.kind = TerminalQuestion::Kind::Field;
    q.text = field.prompt;
    q.field = field;
    const std::optional<QVariant> a = ask(q);
    return a ? std::optional(a->toString()) : std::nullopt;
}

bool ScreenPrompter::pressKey(const QString& text)
{
    TerminalQuestion q;
    q.kind = TerminalQuestion::Kind::PressKey;
    q.text = text;
    return ask(q).has_value();
}

void ScreenPrompter::answer(quint64 id, const QVariant& value)
{
    {
        const std::lock_guard lock(m_lock);
        if (m_gaveUp || id == 0 || id != m_openId || m_answer)
            return; // late: the question is no longer open
        m_answer = value;
    }
    m_changed.notify_all();
}

void ScreenPrompter::giveUp()
{
    {
        const std::lock_guard lock(m_lock);
        if (m_gaveUp)
            return;
        m_gaveUp = true;
    }
    m_changed.notify_all();
    emit givenUp();
}
