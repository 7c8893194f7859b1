#include "ConnectionString.h"

#include <QLocale>
#include <QRegularExpression>

namespace {
bool isSecret(const QString& key)
{
    const QString k = key.toLower();
    return k == QLatin1String("password") || k == QLatin1String("pwd");
}

bool isSpace(QChar c)
{
    return c == QLatin1Char(' ') || c == QLatin1Char('\t') || c == QLatin1Char('\r') || c == QLatin1Char('\n');
}

const QStringList& knownKeys(const QString& kind)
{
    static const QStringList sqlite{QStringLiteral("Provider"), QStringLiteral("Data Source"),
                                    QStringLiteral("Database")};
    static const QStringList postgres{QStringLiteral("Provider"),        QStringLiteral("Host"),
                                      QStringLiteral("Server"),          QStringLiteral("Port"),
                                      QStringLiteral("Database"),        QStringLiteral("Initial Catalog"),
                                      QStringLiteral("User ID"),         QStringLiteral("User"),
                                      QStringLiteral("Password"),        QStringLiteral("Target Session Attrs"),
                                      QStringLiteral("Connect Timeout"), QStringLiteral("Failover Window"),
                                      QStringLiteral("Call Timeout"),    QStringLiteral("SSL Mode"),
                                      QStringLiteral("SSL Root Cert"),   QStringLiteral("SSL Cert"),
                                      QStringLiteral("SSL Key"),         QStringLiteral("sslmode"),
                                      QStringLiteral("sslrootcert"),     QStringLiteral("sslcert"),
                                      QStringLiteral("sslkey")};
    static const QStringList none;
    if (kind == QLatin1String("SQLITE"))
        return sqlite;
    if (kind == QLatin1String("POSTGRESQL"))
        return postgres;
    return none;
}

// A whole number of seconds in the C locale within [low, high], or -1.
int seconds(const QString& text, int low, int high)
{
    bool ok = false;
    const int n = QLocale::c().toInt(text, &ok);
    return ok && n >= low && n <= high ? n : -1;
}

// The TLS settings: our spelling, libpq's own, and the libpq option both stand for.
struct TlsKey {
    const char* ours;
    const char* libpq;
};
constexpr TlsKey tlsKeys[] = {
    {"SSL Mode", "sslmode"}, {"SSL Root Cert", "sslrootcert"}, {"SSL Cert", "sslcert"}, {"SSL Key", "sslkey"}};

// A libpq option value: bare when it reads back whole, else in single quotes.
QString libpqValue(const QString& v)
{
    static const QRegularExpression plain(QStringLiteral("^[^\\s'\\\\]+$"));
    if (plain.match(v).hasMatch())
        return v;
    return QLatin1Char('\'') +
           QString(v)
               .replace(QLatin1Char('\\'), QStringLiteral("\\\\"))
               .replace(QLatin1Char('\''), QStringLiteral("\\'")) +
           QLatin1Char('\'');
}

// ODBC reads {...} as one value whatever it holds; }} stands for a closing brace.
QString odbcValue(const QString& v)
{
    const bool plain = !v.isEmpty() && !isSpace(v.front()) && !isSpace(v.back()) && !v.contains(QLatin1Char(';')) &&
                       !v.contains(QLatin1Char('{')) && !v.contains(QLatin1Char('}')) &&
                       !v.contains(QLatin1Char('=')) && !v.contains(QLatin1Char(' '));
    if (plain)
        return v;
    return QLatin1Char('{') + QString(v).replace(QLatin1Char('}'), QStringLiteral("}}")) + QLatin1Char('}');
}
} // namespace

ConnectionString::ConnectionString(const QString& text)
{
    parse(text);
    if (isValid())
        check();
}

void ConnectionString::fail(const QString& why)
{
    if (m_error.isEmpty())
        m_error = QStringLiteral("the connection string is not valid: ") + why;
}

void ConnectionString::parse(const QString& text)
{
    const qsizetype n = text.size();
    qsizetype i = 0;
    QString previousKey; // a fragment right after a password may be a piece of it: never shown
    const auto describe = [&](const QString& fragment) {
        if (isSecret(previousKey))
            return QStringLiteral("the text after %1=").arg(previousKey);
        return QStringLiteral("\"%1\"").arg(fragment);
    };
    while (i < n) {
        while (i < n && isSpace(text[i]))
            ++i;
        if (i < n && text[i] == QLatin1Char(';')) {
            ++i;
            continue;
        }
        if (i >= n)
            break;
        const qsizetype keyStart = i;
        while (i < n && text[i] != QLatin1Char('=') && text[i] != QLatin1Char(';'))
            ++i;
        const QString key = text.mid(keyStart, i - keyStart).trimmed();
        if (i >= n || text[i] == QLatin1Char(';')) {
            fail(QStringLiteral("%1 has no \"=\" (a value that holds \";\" is written \"...\" or {...})")
                     .arg(describe(key)));
            return;
        }
        if (key.isEmpty()) {
            fail(QStringLiteral("a value has no key before its \"=\""));
            return;
        }
        ++i; // '='
        while (i < n && isSpace(text[i]))
            ++i;
        QString value;
        const QChar open = i < n ? text[i] : QChar();
        if (open == QLatin1Char('"') || open == QLatin1Char('{')) {
            const QChar close = open == QLatin1Char('"') ? QLatin1Char('"') : QLatin1Char('}');
            ++i;
            bool closed = false;
            while (i < n) {
                if (text[i] == close) {
                    if (i + 1 < n && text[i + 1] == close) { // doubled: the character itself
                        value += close;
                        i += 2;
                        continue;
                    }
                    ++i;
                    closed = true;
                    break;
                }
                value += text[i++];
            }
            if (!closed) {
                fail(QStringLiteral("the value of %1 opens with %2 and never closes").arg(key, open));
                return;
            }
            while (i < n && isSpace(text[i]))
                ++i;
            if (i < n && text[i] != QLatin1Char(';')) {
                fail(QStringLiteral("the value of %1 goes on after its closing %2").arg(key, close));
                return;
            }
        } else {
            const qsizetype valueStart = i;
            while (i < n && text[i] != QLatin1Char(';'))
                ++i;
            value = text.mid(valueStart, i - valueStart).trimmed();
        }
        m_pairs.append({key, value});
        previousKey = key;
    }
}

void ConnectionString::check()
{
    const QString k = kind();
    const QStringList& known = knownKeys(k);
    if (known.isEmpty())
        return; // an unknown provider is reported on connecting; ODBC drivers check their own keys
    QString previousKey;
    for (const auto& [key, v] : m_pairs) {
        if (!known.contains(key, Qt::CaseInsensitive)) {
            const QString named = isSecret(previousKey) ? QStringLiteral("the key after %1=").arg(previousKey)
                                                        : QStringLiteral("\"%1\"").arg(key);
            fail(QStringLiteral("%1 is not a key of a %2 store (known: %3)")
                     .arg(named, k, known.join(QStringLiteral(", "))));
            return;
        }
        previousKey = key;
    }
    if (k != QLatin1String("POSTGRESQL"))
        return;
    const QStringList h = hosts();
    for (const QString& host : h)
        if (host.isEmpty() || host.contains(QLatin1Char(' ')) || host.contains(QLatin1Char('\''))) {
            fail(QStringLiteral("Host \"%1\" is not a list of server names").arg(value(QStringLiteral("Host"))));
            return;
        }
    const QStringList p = ports();
    for (const QString& port : p)
        if (seconds(port, 1, 65535) < 0) {
            fail(QStringLiteral("Port \"%1\" is not a port number").arg(port));
            return;
        }
    if (p.size() > 1 && p.size() != h.size()) {
        fail(QStringLiteral("Port lists %1 ports for %2 hosts (give one port, or one per host)")
                 .arg(p.size())
                 .arg(h.size()));
        return;
    }
    static const QStringList attrs{QStringLiteral("any"),       QStringLiteral("read-write"),
                                   QStringLiteral("read-only"), QStringLiteral("primary"),
                                   QStringLiteral("standby"),   QStringLiteral("prefer-standby")};
    const QString attr = value(QStringLiteral("Target Session Attrs"));
    if (has(QStringLiteral("Target Session Attrs")) && !attrs.contains(attr.toLower())) {
        fail(
            QStringLiteral("Target Session Attrs \"%1\" is not one of %2").arg(attr, attrs.join(QStringLiteral(", "))));
        return;
    }
    if (has(QStringLiteral("Connect Timeout")) && seconds(value(QStringLiteral("Connect Timeout")), 0, 3600) < 0) {
        fail(QStringLiteral("Connect Timeout \"%1\" is not a number of seconds from 0 to 3600")
                 .arg(value(QStringLiteral("Connect Timeout"))));
        return;
    }
    if (has(QStringLiteral("Failover Window")) && seconds(value(QStringLiteral("Failover Window")), 0, 600) < 0) {
        fail(QStringLiteral("Failover Window \"%1\" is not a number of seconds from 0 to 600")
                 .arg(value(QStringLiteral("Failover Window"))));
        return;
    }
    if (has(QStringLiteral("Call Timeout")) && seconds(value(QStringLiteral("Call Timeout")), 0, 600) < 0) {
        fail(QStringLiteral("Call Timeout \"%1\" is not a number of seconds from 0 to 600")
                 .arg(value(QStringLiteral("Call Timeout"))));
        return;
    }
    checkTls();
}

void ConnectionString::checkTls()
{
    for (const TlsKey& key : tlsKeys) {
        const QString ours = QString::fromLatin1(key.ours), libpq = QString::fromLatin1(key.libpq);
        if (has(ours) && has(libpq)) {
            fail(QStringLiteral("%1 and %2 name the same setting: give one").arg(ours, libpq));
            return;
        }
        // Qt hands the options to libpq with every ';' turned into a blank.
        if (tlsValue(key.libpq).contains(QLatin1Char(';'))) {
            fail(QStringLiteral("%1 \"%2\" holds a ';', which cannot reach the database library")
                     .arg(ours, tlsValue(key.libpq)));
            return;
        }
    }
    static const QStringList modes{QStringLiteral("disable"),   QStringLiteral("allow"),
                                   QStringLiteral("prefer"),    QStringLiteral("require"),
                                   QStringLiteral("verify-ca"), QStringLiteral("verify-full")};
    const QString mode = tlsValue("sslmode");
    if (!mode.isEmpty() && !modes.contains(mode.toLower()))
        fail(QStringLiteral("SSL Mode \"%1\" is not one of %2").arg(mode, modes.join(QStringLiteral(", "))));
}

QString ConnectionString::tlsValue(const char* libpqKey) const
{
    for (const TlsKey& key : tlsKeys)
        if (qstrcmp(key.libpq, libpqKey) == 0)
            return value(QString::fromLatin1(key.ours), value(QString::fromLatin1(key.libpq)));
    return QString();
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
    if (p == QLatin1String("ORACLE") || p.startsWith(QLatin1String("MSDAORA")) ||
        p.startsWith(QLatin1String("ORAOLEDB")))
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

QString ConnectionString::quote(const QString& value)
{
    if (value.contains(QLatin1Char(';')) || value.contains(QLatin1Char('"')) || value.startsWith(QLatin1Char('{')) ||
        (!value.isEmpty() && (isSpace(value.front()) || isSpace(value.back()))))
        return QLatin1Char('"') + QString(value).replace(QLatin1Char('"'), QStringLiteral("\"\"")) + QLatin1Char('"');
    return value;
}

QString ConnectionString::redacted() const
{
    QStringList parts;
    QString previousKey;
    for (const auto& [k, v] : m_pairs) {
        // In a string that could not be read, an unknown key right after a password may
        // be a piece of it: nothing from there on is shown.
        if (!isValid() && isSecret(previousKey) && !knownKeys(kind()).contains(k, Qt::CaseInsensitive)) {
            parts << QStringLiteral("...");
            break;
        }
        previousKey = k;
        parts << k + QLatin1Char('=') + (isSecret(k) ? QStringLiteral("***") : quote(v));
    }
    return parts.join(QLatin1Char(';'));
}

QString ConnectionString::odbcConnectString() const
{
    QStringList parts;
    for (const auto& [k, v] : m_pairs)
        if (k.compare(QLatin1String("Provider"), Qt::CaseInsensitive) != 0)
            parts << k + QLatin1Char('=') + odbcValue(v);
    return parts.join(QLatin1Char(';'));
}

QStringList ConnectionString::hosts() const
{
    const QString h = value(QStringLiteral("Host"), value(QStringLiteral("Server"), QStringLiteral("localhost")));
    QStringList list = h.split(QLatin1Char(','));
    for (QString& s : list)
        s = s.trimmed();
    return list;
}

QStringList ConnectionString::ports() const
{
    QStringList list = value(QStringLiteral("Port"), QStringLiteral("5432")).split(QLatin1Char(','));
    for (QString& s : list)
        s = s.trimmed();
    return list;
}

QString ConnectionString::postgresOptions() const
{
    QStringList options;
    // Per server: a stalled one must leave time within the failover window for the next.
    options << QStringLiteral("connect_timeout=%1").arg(value(QStringLiteral("Connect Timeout"), QStringLiteral("3")));
    // A server that stops answering (a lost machine, a cut cable) is noticed within seconds
    // instead of the system's two hours of keepalive and fifteen minutes of retransmission.
    options << QStringLiteral("keepalives=1 keepalives_idle=5 keepalives_interval=2 keepalives_count=3")
            << QStringLiteral("tcp_user_timeout=%1").arg(tcpUserTimeoutMs);
    // The server gives up on a statement at the call deadline itself (a live but slow server,
    // locks held too long); a stalled one is left by the kiosk's own watchdog.
    if (callTimeoutMs() > 0)
        options << QStringLiteral("options='-c statement_timeout=%1'").arg(callTimeoutMs());
    for (const TlsKey& key : tlsKeys) {
        const QString v = tlsValue(key.libpq);
        if (!v.isEmpty())
            options << QString::fromLatin1(key.libpq) + QLatin1Char('=') +
                           libpqValue(qstrcmp(key.libpq, "sslmode") == 0 ? v.toLower() : v);
    }
    const QStringList p = ports();
    if (p.size() > 1)
        options << QStringLiteral("port=") + p.join(QLatin1Char(','));
    if (has(QStringLiteral("Target Session Attrs")))
        options << QStringLiteral("target_session_attrs=") + value(QStringLiteral("Target Session Attrs")).toLower();
    return options.join(QLatin1Char(' '));
}

int ConnectionString::callTimeoutMs() const
{
    if (kind() != QLatin1String("POSTGRESQL"))
        return 0;
    if (has(QStringLiteral("Call Timeout")))
        return qMax(0, seconds(value(QStringLiteral("Call Timeout")), 0, 600)) * 1000;
    return defaultCallTimeoutMs;
}

int ConnectionString::failoverWindowMs() const
{
    if (has(QStringLiteral("Failover Window")))
        return qMax(0, seconds(value(QStringLiteral("Failover Window")), 0, 600)) * 1000;
    return kind() == QLatin1String("POSTGRESQL") && hosts().size() > 1 ? 10000 : 0;
}
