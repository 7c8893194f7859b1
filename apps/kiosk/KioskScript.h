#pragma once

#include "KioskError.h"

#include <QList>
#include <QString>
#include <QStringList>

// A technician's check of a running kiosk: one command a line, read whole before
// the screen opens so that a mistyped line is reported without touching the store.
//
//   click NAME                      press the control of that object name
//   key DIGIT|LETTER|Backspace|Enter|Escape
//   wait MS                         let the screen run for MS milliseconds
//   answer yes|no|ok                press that button of the open message box
//   expect NAME TEXT                the control's caption is TEXT ("..." for spaces or empty)
//   expect-visible NAME true|false
//   expect-enabled NAME true|false
//   screenshot FILE                 save a PNG of the screen with any open message box
//   screen NAME                     wait (up to 10 s) until the screen of that name is in front and
//                                   up (shown and activated), as after a code on the home screen
//   # comment                       (whole lines only; blank lines are skipped)
class KioskScript
{
public:
    enum class Op { Click, Key, Wait, WaitPurchase, Answer, Expect, ExpectVisible, ExpectEnabled, Screenshot, Screen };

    struct Command {
        Op op;
        int lineNumber;    // 1-based line of the source
        QString line;      // the line as written, trimmed, for failure reports
        QString name;      // control name (click, expect*), key name, answer, file
        QString text;      // expected caption
        bool flag = false; // expected visibility / enabled state
        int milliseconds = 0;
    };

    // Throws ScriptError naming the first line that is not a valid command.
    static KioskScript parse(const QString& source);
    static KioskScript load(const QString& file);

    // TEXT in double quotes with \" and \\ escaped: fits any caption or path on one line.
    static QString quoted(const QString& text);

    const QList<Command>& commands() const { return m_commands; }
    void append(const KioskScript& other) { m_commands += other.m_commands; }

private:
    QList<Command> m_commands;
};

// A script that cannot be read or a line that is not a command.
class ScriptError : public KioskError
{
public:
    using KioskError::KioskError;
};
