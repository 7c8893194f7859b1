#pragma once

#include "HostExport.h"

#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

// "Provider=POSTGRESQL;Host=127.0.0.1;Port=5432;Database=store;User ID=kiosk;Password=..."
// Keys are case-insensitive. The provider names the engine: SQLITE (Data Source = file),
// POSTGRESQL, MSSQL or ORACLE (both through ODBC: every key but Provider is passed on to
// the driver, which knows its own keys).
//
// A value may be quoted as ADO and ODBC write them: "..." (with "" for a quote) or {...}
// (with }} for a closing brace); a quoted value may hold ';' and '='. A fragment without
// '=', a key the engine does not know, or a value that is not one of its kind makes the
// string invalid: error() names it, and opening a connection with it fails with that text.
// A password never appears in error() or redacted().
//
// PostgreSQL takes TLS settings, in our spelling or in libpq's: SSL Mode (sslmode: disable,
// allow, prefer, require, verify-ca, verify-full), SSL Root Cert (sslrootcert: the CA that
// signed the server's certificate), SSL Cert and SSL Key (sslcert, sslkey: the kiosk's own
// certificate, when the server asks for one).
//
// PostgreSQL may name several servers (libpq's list form): Host=db1,db2;Port=5432,5433
// with Target Session Attrs=read-write reaches whichever of them is the primary.
class HOST_EXPORT ConnectionString
{
public:
    explicit ConnectionString(const QString& text);

    // VALUE as it is written after "Key=": as it is when it reads back whole, else quoted.
    static QString quote(const QString& value);

    bool isValid() const { return m_error.isEmpty(); }
    // Why the string cannot be used, or empty.
    const QString& error() const { return m_error; }

    QString value(const QString& key, const QString& fallback = QString()) const;
    bool has(const QString& key) const;
    // "SQLITE", "POSTGRESQL", "MSSQL", "ORACLE", or "" when the provider is unknown.
    QString kind() const;
    QString qtDriver() const;
    // The text with passwords replaced by "***", fit for logs and failure texts.
    QString redacted() const;
    // Options for an ODBC connection: every key except Provider, values braced where needed.
    QString odbcConnectString() const;

    // PostgreSQL: the servers to try in order (one or more), their ports (one for all,
    // or one each), and the libpq options that go beside them ("name=value", space-separated).
    QStringList hosts() const;
    QStringList ports() const;
    QString postgresOptions() const;
    // How long a connection keeps trying to reach the store before it reports it
    // unreachable: "Failover Window" in seconds; by default 10 s for several servers
    // (a standby is being promoted) and 0 (one attempt) for one.
    int failoverWindowMs() const;
    // How long one store call may take before it is given up as a lost connection:
    // "Call Timeout" in seconds (0: no limit); 5 s by default on PostgreSQL. The server
    // cancels a statement past it; a server that stopped answering is left by the kiosk.
    int callTimeoutMs() const;
    static constexpr int defaultCallTimeoutMs = 5000;
    // TCP: unacknowledged data for this long drops the connection (libpq's tcp_user_timeout).
    static constexpr int tcpUserTimeoutMs = 10000;

private:
    void parse(const QString& text);
    void check();
    void checkTls();
    // A TLS setting by its libpq name, written in either spelling.
    QString tlsValue(const char* libpqKey) const;
    void fail(const QString& why);

    QList<QPair<QString, QString>> m_pairs;
    QString m_error;
};
