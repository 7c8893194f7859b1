#include "StatementFile.h"

#include "KioskError.h"

#include <QFile>
#include <QRegularExpression>

namespace {
ParamType typeNamed(const QString& word, bool* ok)
{
    *ok = true;
    if (word == QLatin1String("text"))
        return ParamType::String;
    if (word == QLatin1String("float"))
        return ParamType::Float;
    if (word == QLatin1String("datetime"))
        return ParamType::DateTime;
    if (word == QLatin1String("integer"))
        return ParamType::Integer;
    *ok = false;
    return ParamType::None;
}
} // namespace

StatementFile StatementFile::parse(const QString& name, const QString& content)
{
    static const QLatin1String marker("--:");
    StatementFile file;
    file.name = name;
    file.parameters.setOwner(name);
    qsizetype pos = 0;
    int lineNumber = 0;
    while (content.mid(pos, marker.size()) == marker) {
        ++lineNumber;
        const qsizetype end = content.indexOf(QLatin1Char('\n'), pos);
        const qsizetype next = end < 0 ? content.size() : end + 1;
        const QStringList words = content.mid(pos + marker.size(), next - pos - marker.size())
                                      .trimmed()
                                      .split(QRegularExpression(QStringLiteral("\\s+")), Qt::SkipEmptyParts);
        const auto bad = [&](const QString& why) {
            return KioskError(QStringLiteral("statement %1, declaration line %2: %3").arg(name).arg(lineNumber).arg(why));
        };
        bool known = false;
        const ParamType type = words.size() >= 2 ? typeNamed(words[1], &known) : ParamType::None;
        if (!known)
            throw bad(QStringLiteral("expected \"NAME text|float|datetime|integer ...\""));
        if (file.parameters.find(words[0]))
            throw bad(QStringLiteral("%1 is declared twice").arg(words[0]));
        SqlParameter& p = file.parameters.declare(words[0], type);
        for (int i = 2; i < words.size(); ++i) {
            bool number = false;
            const int size = words[i].toInt(&number);
            if (number && size > 0 && p.size == 0) {
                p.size = size;
            } else if (words[i] == QLatin1String("nullable")) {
                p.nullable = true;
            } else if (words[i] == QLatin1String("signed")) {
                p.isSigned = true;
            } else if (words[i] == QLatin1String("precision") && i + 1 < words.size()) {
                const QStringList ps = words[++i].split(QLatin1Char(','));
                p.precision = ps.value(0).toInt();
                p.scale = ps.size() > 1 ? ps[1].toInt() : -1;
                if (p.precision <= 0)
                    throw bad(QStringLiteral("precision \"%1\" is not a number").arg(words[i]));
            } else {
                throw bad(QStringLiteral("unknown attribute \"%1\"").arg(words[i]));
            }
        }
        pos = next;
    }
    file.text = content.mid(pos);
    return file;
}

StatementFile StatementFile::load(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("statement file %1 cannot be read: %2").arg(path, f.errorString()));
    QString name = path.section(QLatin1Char('/'), -1);
    return parse(name, QString::fromUtf8(f.readAll()));
}

QStringList StatementFile::disagreements(const QString& text, const SqlParameters& declared)
{
    QStringList problems;
    const QStringList placeholders = SqlParameters::placeholderNames(text);
    for (const QString& n : placeholders)
        if (!declared.find(n))
            problems << QStringLiteral("placeholder :%1 is not declared").arg(n);
    for (const SqlParameter& p : declared.list())
        if (p.direction == ParamDirection::Input && !placeholders.contains(p.name, Qt::CaseInsensitive))
            problems << QStringLiteral("declared parameter %1 is not in the text").arg(p.name);
    return problems;
}
