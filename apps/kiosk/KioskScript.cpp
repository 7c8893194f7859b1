#include "KioskScript.h"

#include <QFile>
#include <QRegularExpression>

namespace
{
[[noreturn]] void refuse(int lineNumber, const QString& line, const QString& why)
{
    throw ScriptError(QStringLiteral("line %1: %2: %3").arg(lineNumber).arg(line, why));
}

// Splits off the first word; `rest` gets what follows it, trimmed.
QString firstWord(const QString& text, QString* rest)
{
    const qsizetype space = text.indexOf(QRegularExpression(QStringLiteral("\\s")));
    if (space < 0) {
        rest->clear();
        return text;
    }
    *rest = text.mid(space + 1).trimmed();
    return text.left(space);
}

// A caption or a path: the rest of the line as written, or one "..." with \" and \\ escaped.
bool readText(const QString& text, QString* out)
{
    if (!text.startsWith(QLatin1Char('"'))) {
        *out = text;
        return !text.isEmpty();
    }
    QString value;
    for (qsizetype i = 1; i < text.size(); ++i) {
        const QChar c = text[i];
        if (c == QLatin1Char('\\') && i + 1 < text.size()) {
            value += text[++i];
        } else if (c == QLatin1Char('"')) {
            if (i + 1 != text.size())
                return false; // something after the closing quote
            *out = value;
            return true;
        } else {
            value += c;
        }
    }
    return false; // no closing quote
}

bool readFlag(const QString& text, bool* out)
{
    if (text == QLatin1String("true") || text == QLatin1String("false")) {
        *out = text == QLatin1String("true");
        return true;
    }
    return false;
}

bool isKeyName(const QString& key)
{
    if (key.size() == 1)
        return key[0].isDigit() || (key[0].isLetter() && key[0].unicode() < 128);
    return key == QLatin1String("Backspace") || key == QLatin1String("Enter") || key == QLatin1String("Escape");
}

KioskScript::Command parseLine(int lineNumber, const QString& line)
{
    using Op = KioskScript::Op;
    KioskScript::Command c{Op::Click, lineNumber, line, {}, {}, false, 0};
    QString rest;
    const QString word = firstWord(line, &rest);
    QString tail;
    if (word == QLatin1String("click")) {
        c.op = Op::Click;
        c.name = firstWord(rest, &tail);
        if (c.name.isEmpty() || !tail.isEmpty())
            refuse(lineNumber, line, QStringLiteral("click takes one control name"));
    } else if (word == QLatin1String("key")) {
        c.op = Op::Key;
        c.name = rest;
        if (!isKeyName(c.name))
            refuse(lineNumber, line, QStringLiteral("key takes a digit, a letter, Backspace, Enter or Escape"));
    } else if (word == QLatin1String("wait-purchase")) {
        c.op = Op::WaitPurchase;
    } else if (word == QLatin1String("wait")) {
        c.op = Op::Wait;
        bool ok = false;
        c.milliseconds = rest.toInt(&ok);
        if (!ok || c.milliseconds < 0)
            refuse(lineNumber, line, QStringLiteral("wait takes a number of milliseconds"));
    } else if (word == QLatin1String("answer")) {
        c.op = Op::Answer;
        c.name = rest;
        if (c.name != QLatin1String("yes") && c.name != QLatin1String("no") && c.name != QLatin1String("ok"))
            refuse(lineNumber, line, QStringLiteral("answer takes yes, no or ok"));
    } else if (word == QLatin1String("expect")) {
        c.op = Op::Expect;
        c.name = firstWord(rest, &tail);
        if (c.name.isEmpty() || !readText(tail, &c.text))
            refuse(lineNumber, line,
                   QStringLiteral("expect takes a control name and a caption (in \"...\" when empty or quoted)"));
    } else if (word == QLatin1String("expect-visible") || word == QLatin1String("expect-enabled")) {
        c.op = word == QLatin1String("expect-visible") ? Op::ExpectVisible : Op::ExpectEnabled;
        c.name = firstWord(rest, &tail);
        if (c.name.isEmpty() || !readFlag(tail, &c.flag))
            refuse(lineNumber, line, QStringLiteral("%1 takes a control name and true or false").arg(word));
    } else if (word == QLatin1String("screenshot")) {
        c.op = Op::Screenshot;
        if (!readText(rest, &c.name))
            refuse(lineNumber, line, QStringLiteral("screenshot takes a file name"));
    } else if (word == QLatin1String("screen")) {
        c.op = Op::Screen;
        c.name = firstWord(rest, &tail);
        if (c.name.isEmpty() || !tail.isEmpty())
            refuse(lineNumber, line, QStringLiteral("screen takes one screen name"));
    } else {
        refuse(lineNumber, line, QStringLiteral("unknown command \"%1\"").arg(word));
    }
    return c;
}
} // namespace

KioskScript KioskScript::parse(const QString& source)
{
    KioskScript script;
    const QStringList lines = source.split(QLatin1Char('\n'));
    for (int i = 0; i < lines.size(); ++i) {
        const QString line = lines[i].trimmed();
        if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
            continue;
        script.m_commands.append(parseLine(i + 1, line));
    }
    return script;
}

KioskScript KioskScript::load(const QString& file)
{
    QFile f(file);
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        throw ScriptError(QStringLiteral("%1: cannot be read (%2)").arg(file, f.errorString()));
    try {
        return parse(QString::fromUtf8(f.readAll()));
    } catch (const ScriptError& e) {
        throw ScriptError(file + QStringLiteral(", ") + e.message());
    }
}

QString KioskScript::quoted(const QString& text)
{
    QString escaped = text;
    escaped.replace(QLatin1Char('\\'), QLatin1String("\\\\")).replace(QLatin1Char('"'), QLatin1String("\\\""));
    return QLatin1Char('"') + escaped + QLatin1Char('"');
}
