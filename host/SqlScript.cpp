#include "SqlScript.h"

#include "SqlConnection.h"

namespace SqlScript {

QStringList split(const QString& script)
{
    QStringList out;
    QString current;
    QString dollarTag;
    bool inQuote = false;
    const QStringList lines = script.split(QLatin1Char('\n'));
    for (QString line : lines) {
        if (line.endsWith(QLatin1Char('\r')))
            line.chop(1);
        if (dollarTag.isEmpty() && !inQuote && line.trimmed().compare(QLatin1String("GO"), Qt::CaseInsensitive) == 0) {
            if (!current.trimmed().isEmpty())
                out << current.trimmed();
            current.clear();
            continue;
        }
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
            } else if (c == QLatin1Char(';')) {
                if (!current.trimmed().isEmpty())
                    out << current.trimmed();
                current.clear();
                continue;
            }
            current += c;
        }
        current += QLatin1Char('\n');
    }
    if (!current.trimmed().isEmpty())
        out << current.trimmed();
    return out;
}

void run(SqlConnection& connection, const QString& script, const QString& origin)
{
    int n = 0;
    for (const QString& statement : split(script))
        connection.execDirect(statement, QStringLiteral("%1, statement %2").arg(origin).arg(++n));
}

} // namespace SqlScript
