// A PostgreSQL store the kiosk does not take on trust: TLS with the server's certificate checked,
// and calls a frozen server cannot hold. A server of the test's own (TLS on) beside the throwaway one.
#include "ConnectionString.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>

namespace
{
// In FOLDER: two CAs, a certificate for 127.0.0.1 signed by the first, and a server with TLS
// on PORT (as its owner when run as root). Prints the postmaster's PID.
// clang-format off
const char* const ownServer = R"sh(set -e
cd "$1"
ec=(-newkey ec -pkeyopt ec_paramgen_curve:prime256v1 -nodes)
for ca in ca other-ca; do openssl req -x509 "${ec[@]}" -keyout $ca.key -out $ca.crt -days 2 -subj /CN=$ca 2>/dev/null; done
openssl req "${ec[@]}" -keyout server.key -out server.csr -subj /CN=127.0.0.1 2>/dev/null
echo subjectAltName=IP:127.0.0.1 >san.ext
openssl x509 -req -in server.csr -CA ca.crt -CAkey ca.key -CAcreateserial -days 2 -extfile san.ext -out server.crt 2>/dev/null
chmod 600 server.key
as=(); if [ "$(id -u)" = 0 ]; then chown -R postgres .; as=(runuser -u postgres --); fi
"${as[@]}" "$KIOSK_PG_BIN/initdb" -D data -A trust -U postgres >/dev/null
"${as[@]}" "$KIOSK_PG_BIN/pg_ctl" -D data -l log -w start -o "-p $2 -k $PWD -c listen_addresses=127.0.0.1 \
    -c ssl=on -c ssl_cert_file=$PWD/server.crt -c ssl_key_file=$PWD/server.key" >/dev/null
head -1 data/postmaster.pid)sh";
// clang-format on

QString run(const QString& program, const QStringList& args)
{
    QProcess p;
    p.start(program, args);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw KioskError(
            QStringLiteral("%1 failed: %2").arg(program, QString::fromLocal8Bit(p.readAllStandardError())));
    return QString::fromLocal8Bit(p.readAllStandardOutput()).trimmed();
}

// What the store at the other end says to one query, through a kiosk connection.
QString ask(SqlConnection& c, const QString& sql)
{
    SqlQuery q(QStringLiteral("adqTrust"), &c);
    q.setSql(sql);
    q.open();
    return q.fieldByName(QStringLiteral("ANSWER")).asString();
}
} // namespace

class TestStoreTrust : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;
    QString m_port;
    QString m_postmaster;

    // Sends `signal` to the postmaster and every process it started (its sessions' included).
    void signalCluster(int signal) const
    {
        const QStringList children = run(QStringLiteral("pgrep"), {QStringLiteral("-P"), m_postmaster}).split('\n');
        ::kill(m_postmaster.toInt(), signal);
        for (const QString& child : children)
            ::kill(child.toInt(), signal);
    }

private slots:
    void initTestCase()
    {
        QVERIFY2(!qEnvironmentVariableIsEmpty("KIOSK_PG_BIN") && !qEnvironmentVariableIsEmpty("KIOSK_TEST_PG"),
                 "run through scripts/throwaway-postgres.sh");
        QTcpServer probe; // a port nobody holds now
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        m_port = QString::number(probe.serverPort());
        probe.close();
        m_postmaster = run(QStringLiteral("bash"), {QStringLiteral("-c"), QString::fromLatin1(ownServer),
                                                    QStringLiteral("bash"), m_dir.path(), m_port});
    }

    void cleanupTestCase() { signalCluster(SIGKILL); }

    // Which server (ours with TLS, or the throwaway one without) and which settings.
    void tlsModes_data()
    {
        QTest::addColumn<bool>("tlsServer");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("connects");
        QTest::newRow("verify-full, the server's CA")
            << true << QStringLiteral("SSL Mode=verify-full;SSL Root Cert=@/ca.crt") << true;
        QTest::newRow("libpq's spelling") << true << QStringLiteral("sslmode=verify-full;sslrootcert=@/ca.crt") << true;
        QTest::newRow("verify-full, another CA")
            << true << QStringLiteral("SSL Mode=verify-full;SSL Root Cert=@/other-ca.crt") << false;
        QTest::newRow("require, a server without TLS") << false << QStringLiteral("SSL Mode=require") << false;
    }
    void tlsModes()
    {
        QFETCH(bool, tlsServer);
        QFETCH(QString, settings);
        QFETCH(bool, connects);
        const QString base = tlsServer ? QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Port=%1;Database=postgres;"
                                                        "User ID=postgres")
                                             .arg(m_port)
                                       : qEnvironmentVariable("KIOSK_TEST_PG");
        SqlConnection c(QStringLiteral("adcRecSaldo"));
        c.setConnectionString(base + QLatin1Char(';') + settings.replace(QLatin1Char('@'), m_dir.path()));
        try {
            c.open();
        } catch (const SqlError& e) {
            QVERIFY2(!connects, qPrintable(e.message()));
            return;
        }
        QVERIFY2(connects, "connected although the server could not be trusted");
        QCOMPARE(ask(c, QStringLiteral("SELECT CAST(ssl AS TEXT) AS \"ANSWER\" FROM pg_stat_ssl "
                                       "WHERE pid = pg_backend_pid()")),
                 QStringLiteral("true"));
    }

    // The first server freezes (every process stopped) while the kiosk is connected to it: the
    // next call is given up at its deadline and goes to the second server of the string.
    void aFrozenServerIsLeftForTheNext()
    {
        const QString other = ConnectionString(qEnvironmentVariable("KIOSK_TEST_PG")).ports().first();
        SqlConnection c(QStringLiteral("adcRecSaldo"));
        c.setConnectionString(
            QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1,127.0.0.1;Port=%1,%2;Database=postgres;"
                           "User ID=postgres;Call Timeout=1;Connect Timeout=2;Failover Window=30")
                .arg(m_port, other));
        c.open();
        const QString port = QStringLiteral("SELECT current_setting('port') AS \"ANSWER\"");
        QCOMPARE(ask(c, port), m_port);
        signalCluster(SIGSTOP);
        // Should the call wait on the frozen server instead, it is thawed after 60 s: the
        // test then fails rather than hangs.
        QSemaphore answered;
        std::unique_ptr<QThread> rescue(QThread::create([&] {
            if (!answered.tryAcquire(1, 60000))
                signalCluster(SIGCONT);
        }));
        rescue->start();
        QString answer, failure;
        try {
            answer = ask(c, port);
        } catch (const KioskError& e) {
            failure = e.message();
        }
        answered.release();
        rescue->wait();
        signalCluster(SIGCONT);
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(answer, other);
    }
};

QTEST_GUILESS_MAIN(TestStoreTrust)
#include "tst_storetrust.moc"
