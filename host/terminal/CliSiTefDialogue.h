#pragma once

#include <QHash>
#include <QString>
#include <functional>

class CliSiTefLibrary;
class TerminalPrompter;

// One run of a CliSiTef library's continue loop: answers each command the library
// names until it ends the function, and keeps the values it hands back by field type.
// Messages go to `display`; menus, questions, fields and notices to the prompter, and
// without one the function is interrupted (-1) at the first of them. Every text from
// the library is masked for card numbers on arrival. The caller holds the library's lock.
class CliSiTefDialogue
{
public:
    using Display = std::function<void(const QString&)>;
    CliSiTefDialogue(CliSiTefLibrary& library, Display display, TerminalPrompter* prompter)
        : m_library(library), m_display(std::move(display)), m_prompter(prompter)
    {
    }

    // Runs the loop after the start answered `started`; the library's final code.
    int run(int started);
    const QHash<long, QString>& values() const { return m_values; }
    // The last message shown to the consumer (a refusal's reason, usually).
    const QString& lastMessage() const { return m_lastMessage; }
    bool interrupted() const { return m_interrupted; }

private:
    // Answers one command: fills `reply` and returns what goes in `continua`.
    int answer(int command, long type, int min, int max, const QString& text, QByteArray& reply);
    int collect(int command, int min, int max, const QString& text, QByteArray& reply);
    int menu(const QString& text, QByteArray& reply);
    void show(const QString& text);
    int interrupt(const char* why, int command);

    CliSiTefLibrary& m_library;
    Display m_display;
    TerminalPrompter* m_prompter;
    QHash<long, QString> m_values;
    QString m_title;
    QString m_lastMessage;
    bool m_interrupted = false;
};
