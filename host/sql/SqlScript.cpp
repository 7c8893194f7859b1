#include "SqlScript.h"

#include "SqlConnection.h"

#include <QRegularExpression>
#include <algorithm>

namespace SqlScript {

namespace {
QStringList scriptLines(const QString& script)
{
    QStringList lines = script.split(QLatin1Char('\n'));
    for (QString& l : lines)
        if (l.endsWith(QLatin1Char('\r')))
            l.chop(1);
    return lines;
}

bool isLine(const QString& line, const char* word)
{
    return line.trimmed().compare(QLatin1String(word), Qt::CaseInsensitive) == 0;
}

// T-SQL: the script is a list of batches separated by "GO" lines.
QStringList splitBatches(const QStringList& lines)
{
    QStringList out;
    QString current;
    for (const QString& line : lines) {
        if (isLine(line, "GO")) {
            if (!current.trimmed().isEmpty())
                out << current.trimmed();
            current.clear();
        } else {
            current += line + QLatin1Char('\n');
        }
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

// A PL/SQL unit runs to a "/" line, whatever semicolons it holds.
bool startsPlsqlUnit(const QString& statementSoFar)
{
    static const QRegularExpression unit(
        QStringLiteral("^\\s*(CREATE\\s+(OR\\s+REPLACE\\s+)?(PROCEDURE|FUNCTION|TRIGGER|PACKAGE)|BEGIN|DECLARE)\\b"),
        QRegularExpression::CaseInsensitiveOption);
    return unit.match(statementSoFar).hasMatch();
}
} // namespace

QStringList split(const QString& script)
{
    const QStringList lines = scriptLines(script);
    if (std::any_of(lines.begin(), lines.end(), [](const QString& l) { return isLine(l, "GO"); }))
        return splitBatches(lines);
    const bool slashTerminated =
        std::any_of(lines.begin(), lines.end(), [](const QString& l) { return isLine(l, "/"); });

    QStringList out;
    QString current;
    QString dollarTag;
    bool inQuote = false;
    const auto flush = [&] {
        if (!current.trimmed().isEmpty())
            out << current.trimmed();
        current.clear();
    };
    for (const QString& line : lines) {
        if (slashTerminated && isLine(line, "/")) {
            flush();
            continue;
        }
        const bool plsql = slashTerminated && startsPlsqlUnit(current + line);
        for (int i = 0; i < line.size(); ++i) {
            const QChar c = line[i];
            if (!dollarTag.isEmpty()) {
                if (line.mid(i).startsWith(dollarTag)) {
                    current += dollarTag;
                    i += int(dollarTag.size()) - 1;
                    dollarTag.clear();
                    continue;
                }
            } else if (inQuote) {
                if (c == QLatin1Char('\''))
                    inQuote = false;
            } else if (c == QLatin1Char('-') && line.mid(i, 2) == QLatin1String("--")) {
                break; // comment to end of line
            } else if (c == QLatin1Char('\'')) {
                inQuote = true;
            } else if (c == QLatin1Char('$')) {
                const int end = int(line.indexOf(QLatin1Char('$'), i + 1));
                if (end > i) {
                    dollarTag = line.mid(i, end - i + 1);
                    current += dollarTag;
                    i = end;
                    continue;
                }
            } else if (c == QLatin1Char(';') && !plsql) {
                flush();
                continue;
            }
            current += c;
        }
        current += QLatin1Char('\n');
    }
    flush();
    return out;
}

void run(SqlConnection& connection, const QString& script, const QString& origin)
{
    int n = 0;
    for (const QString& statement : split(script))
        connection.execDirect(statement, QStringLiteral("%1, statement %2").arg(origin).arg(++n));
}

} // namespace SqlScript
