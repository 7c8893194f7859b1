#include "SqlParameters.h"

#include "KioskError.h"

void SqlParameter::setAsString(const QString& v)
{
    bound = ParamType::String;
    value = v;
}

void SqlParameter::setAsFloat(double v)
{
    bound = ParamType::Float;
    value = v;
}

void SqlParameter::setAsDateTime(double days)
{
    bound = ParamType::DateTime;
    value = days;
}

void SqlParameter::setAsInteger(qint64 v)
{
    bound = ParamType::Integer;
    value = v;
}

void SqlParameter::setNull(ParamType asType)
{
    bound = asType;
    value = QVariant();
}

QStringList SqlParameters::placeholderNames(const QString& sql)
{
    QStringList names;
    QChar quote;
    for (int i = 0; i < sql.size(); ++i) {
        const QChar c = sql[i];
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
            continue;
        }
        if (c == QLatin1Char('\'') || c == QLatin1Char('"')) {
            quote = c;
        } else if (c == QLatin1Char(':') && i + 1 < sql.size() &&
                   (sql[i + 1].isLetter() || sql[i + 1] == QLatin1Char('_')) &&
                   (i == 0 || sql[i - 1] != QLatin1Char(':'))) {
            int j = i + 1;
            while (j < sql.size() && (sql[j].isLetterOrNumber() || sql[j] == QLatin1Char('_')))
                ++j;
            const QString name = sql.mid(i + 1, j - i - 1);
            if (!names.contains(name, Qt::CaseInsensitive))
                names << name;
            i = j - 1;
        }
    }
    return names;
}

void SqlParameters::refreshFrom(const QString& sql)
{
    QList<SqlParameter> next;
    for (const QString& n : placeholderNames(sql)) {
        const SqlParameter* old = find(n);
        SqlParameter p = old ? *old : SqlParameter{};
        p.name = n;
        next.append(p);
    }
    m_params = std::move(next);
}

SqlParameter& SqlParameters::declare(const QString& name, ParamType type, int size, bool nullable,
                                     ParamDirection direction)
{
    for (SqlParameter& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0) {
            p.declared = type;
            p.size = size;
            p.nullable = nullable;
            p.direction = direction;
            return p;
        }
    SqlParameter p;
    p.name = name;
    p.declared = type;
    p.size = size;
    p.nullable = nullable;
    p.direction = direction;
    m_params.append(p);
    return m_params.last();
}

const SqlParameter* SqlParameters::find(const QString& name) const
{
    for (const SqlParameter& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return &p;
    return nullptr;
}

SqlParameter& SqlParameters::paramByName(const QString& name)
{
    for (SqlParameter& p : m_params)
        if (p.name.compare(name, Qt::CaseInsensitive) == 0)
            return p;
    throw SqlError(m_owner, QStringLiteral("parameter %1 not found").arg(name));
}
