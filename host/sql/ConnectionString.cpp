#include "ConnectionString.h"

namespace {
bool isSecret(const QString& key)
{
    const QString k = key.toLower();
    return k == QLatin1String("password") || k == QLatin1String("pwd");
}
} // namespace

ConnectionString::ConnectionString(const QString& text) : m_text(text)
{
    for (const QString& part : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const int eq = part.indexOf(QLatin1Char('='));
        if (eq < 0)
            continue;
        QString v = part.mid(eq + 1).trimmed();
        if (v.size() >= 2 && v.startsWith(QLatin1Char('"')) && v.endsWith(QLatin1Char('"')))
            v = v.mid(1, v.size() - 2);
        m_pairs.append({part.left(eq).trimmed(), v});
    }
}

QString ConnectionString::value(const QString& key, const QString& fallback) const
{
    for (const auto& [k, v] : m_pairs)
        if (k.compare(key, Qt::CaseInsensitive) == 0)
            return v;
    return fallback;
}

bool ConnectionString::has(const QString& key) const
{
    for (const auto& kv : m_pairs)
        if (kv.first.compare(key, Qt::CaseInsensitive) == 0)
            return true;
    return false;
}

QString ConnectionString::kind() const
{
    const QString p = value(QStringLiteral("Provider")).toUpper();
    if (p == QLatin1String("SQLITE") || p == QLatin1String("QSQLITE"))
        return QStringLiteral("SQLITE");
    if (p == QLatin1String("POSTGRESQL") || p == QLatin1String("QPSQL"))
        return QStringLiteral("POSTGRESQL");
    if (p == QLatin1String("MSSQL") || p.startsWith(QLatin1String("SQLOLEDB")) ||
        p.startsWith(QLatin1String("MSOLEDBSQL")) || p.startsWith(QLatin1String("SQLNCLI")))
        return QStringLiteral("MSSQL");
    if (p == QLatin1String("ORACLE") || p.startsWith(QLatin1String("MSDAORA")) || p.startsWith(QLatin1String("ORAOLEDB")))
        return QStringLiteral("ORACLE");
    return QString();
}

QString ConnectionString::qtDriver() const
{
    const QString k = kind();
    if (k == QLatin1String("SQLITE"))
        return QStringLiteral("QSQLITE");
    if (k == QLatin1String("POSTGRESQL"))
        return QStringLiteral("QPSQL");
    if (k.isEmpty())
        return QString();
    return QStringLiteral("QODBC");
}

QString ConnectionString::redacted() const
{
    QStringList parts;
    for (const auto& [k, v] : m_pairs)
        parts << k + QLatin1Char('=') + (isSecret(k) ? QStringLiteral("***") : v);
    return parts.join(QLatin1Char(';'));
}

QString ConnectionString::odbcConnectString() const
{
    QStringList parts;
    for (const auto& [k, v] : m_pairs)
        if (k.compare(QLatin1String("Provider"), Qt::CaseInsensitive) != 0)
            parts << k + QLatin1Char('=') + v;
    return parts.join(QLatin1Char(';'));
}
