// The kiosk's connection to a PostgreSQL store it does not take on trust: TLS with the
// server's certificate checked, and calls that a frozen server cannot hold. The test runs
// a server of its own (TLS on, certificates made here with openssl) beside the throwaway
// one (KIOSK_TEST_PG, no TLS).
#include "ConnectionString.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

#include <QDir>
#include <QProcess>
#include <QSemaphore>
#include <QTcpServer>
#include <QTemporaryDir>
#include <QtTest>

#include <csignal>
#include <unistd.h>

namespace
{
QString run(QStringList command, bool asOwner = false)
{
    if (asOwner && geteuid() == 0)
        command = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                              QStringLiteral("--")} +
                  command;
    QProcess p;
    p.setProcessChannelMode(QProcess::MergedChannels);
    p.start(command.takeFirst(), command);
    if (!p.waitForFinished(60000) || p.exitCode() != 0)
        throw KioskError(QStringLiteral("%1 failed: %2").arg(p.program(), QString::fromLocal8Bit(p.readAll())));
    return QString::fromLocal8Bit(p.readAll());
}

// The processes of a cluster: its postmaster and every child of it.
QList<pid_t> clusterProcesses(pid_t postmaster)
{
    QList<pid_t> pids{postmaster};
    for (const QString& entry : QDir(QStringLiteral("/proc")).entryList(QDir::Dirs)) {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(entry));
        if (!stat.open(QIODevice::ReadOnly))
            continue;
        const QByteArray line = stat.readAll();
        const QList<QByteArray> fields = line.mid(line.lastIndexOf(')') + 2).split(' ');
        if (fields.size() > 1 && fields[1].toInt() == postmaster)
            pids << entry.toInt();
    }
    return pids;
}

QString portOf(const QString& connectionString)
{
    return ConnectionString(connectionString).ports().first();
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
    QString m_bin, m_data, m_port;
    pid_t m_postmaster = 0;

    QString path(const QString& name) const { return m_dir.filePath(name); }

    void makeCertificates()
    {
        const QString openssl = QStringLiteral("openssl");
        const QStringList ec{QStringLiteral("-newkey"), QStringLiteral("ec"), QStringLiteral("-pkeyopt"),
                             QStringLiteral("ec_paramgen_curve:prime256v1"), QStringLiteral("-nodes")};
        for (const QString& ca : {QStringLiteral("ca"), QStringLiteral("other-ca")})
            run(QStringList{openssl, QStringLiteral("req"), QStringLiteral("-x509")} + ec +
                QStringList{QStringLiteral("-keyout"), path(ca + QStringLiteral(".key")), QStringLiteral("-out"),
                            path(ca + QStringLiteral(".crt")), QStringLiteral("-days"), QStringLiteral("2"),
                            QStringLiteral("-subj"), QStringLiteral("/CN=") + ca});
        run(QStringList{openssl, QStringLiteral("req")} + ec +
            QStringList{QStringLiteral("-keyout"), path(QStringLiteral("server.key")), QStringLiteral("-out"),
                        path(QStringLiteral("server.csr")), QStringLiteral("-subj"), QStringLiteral("/CN=127.0.0.1")});
        QFile ext(path(QStringLiteral("san.ext")));
        QVERIFY(ext.open(QIODevice::WriteOnly));
        ext.write("subjectAltName=IP:127.0.0.1\n");
        ext.close();
        run({openssl, QStringLiteral("x509"), QStringLiteral("-req"), QStringLiteral("-in"),
             path(QStringLiteral("server.csr")), QStringLiteral("-CA"), path(QStringLiteral("ca.crt")),
             QStringLiteral("-CAkey"), path(QStringLiteral("ca.key")), QStringLiteral("-CAcreateserial"),
             QStringLiteral("-days"), QStringLiteral("2"), QStringLiteral("-extfile"), ext.fileName(),
             QStringLiteral("-out"), path(QStringLiteral("server.crt"))});
    }

    QString ownServer(const QString& more = QString()) const
    {
        return QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Port=%1;Database=postgres;User ID=postgres%2")
            .arg(m_port, more);
    }

private slots:
    void initTestCase()
    {
        m_bin = qEnvironmentVariable("KIOSK_PG_BIN");
        QVERIFY2(!m_bin.isEmpty() && !qEnvironmentVariableIsEmpty("KIOSK_TEST_PG"),
                 "run through scripts/throwaway-postgres.sh");
        makeCertificates();
        m_data = path(QStringLiteral("data"));
        QTcpServer probe; // a port nobody holds now
        QVERIFY(probe.listen(QHostAddress::LocalHost));
        m_port = QString::number(probe.serverPort());
        probe.close();
        if (geteuid() == 0)
            run({QStringLiteral("chown"), QStringLiteral("-R"), QStringLiteral("postgres"), m_dir.path()});
        QFile::setPermissions(path(QStringLiteral("server.key")), QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        run({m_bin + QStringLiteral("/initdb"), QStringLiteral("-D"), m_data, QStringLiteral("-A"),
             QStringLiteral("trust"), QStringLiteral("-U"), QStringLiteral("postgres")},
            true);
        run({m_bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), m_data, QStringLiteral("-l"),
             path(QStringLiteral("log")), QStringLiteral("-w"), QStringLiteral("-o"),
             QStringLiteral(
                 "-p %1 -k %2 -c listen_addresses=127.0.0.1 -c ssl=on -c ssl_cert_file=%3 -c ssl_key_file=%4")
                 .arg(m_port, m_dir.path(), path(QStringLiteral("server.crt")), path(QStringLiteral("server.key"))),
             QStringLiteral("start")},
            true);
        QFile pidFile(m_data + QStringLiteral("/postmaster.pid"));
        QVERIFY(pidFile.open(QIODevice::ReadOnly));
        m_postmaster = pid_t(pidFile.readLine().trimmed().toInt());
    }

    void cleanupTestCase()
    {
        for (const pid_t pid : clusterProcesses(m_postmaster))
            ::kill(pid, SIGKILL);
    }

    // Which server (ours with TLS, or the throwaway one without) and which settings.
    void tlsModes_data()
    {
        QTest::addColumn<bool>("tlsServer");
        QTest::addColumn<QString>("settings");
        QTest::addColumn<bool>("connects");
        QTest::newRow("verify-full, the server's CA")
            << true << QStringLiteral("SSL Mode=verify-full;SSL Root Cert=ca.crt") << true;
        QTest::newRow("libpq's spelling") << true << QStringLiteral("sslmode=verify-full;sslrootcert=ca.crt") << true;
        QTest::newRow("verify-full, another CA")
            << true << QStringLiteral("SSL Mode=verify-full;SSL Root Cert=other-ca.crt") << false;
        QTest::newRow("require, a server without TLS") << false << QStringLiteral("SSL Mode=require") << false;
    }
    void tlsModes()
    {
        QFETCH(bool, tlsServer);
        QFETCH(QString, settings);
        QFETCH(bool, connects);
        settings.replace(QRegularExpression(QStringLiteral("([a-z-]*ca\\.crt)")),
                         m_dir.path() + QStringLiteral("/\\1"));
        const QString base = tlsServer ? ownServer() : qEnvironmentVariable("KIOSK_TEST_PG");
        SqlConnection c(QStringLiteral("adcRecSaldo"));
        c.setConnectionString(base + QLatin1Char(';') + settings);
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
        const QString other = portOf(qEnvironmentVariable("KIOSK_TEST_PG"));
        SqlConnection c(QStringLiteral("adcRecSaldo"));
        c.setConnectionString(
            QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1,127.0.0.1;Port=%1,%2;Database=postgres;"
                           "User ID=postgres;Call Timeout=1;Connect Timeout=2;Failover Window=30")
                .arg(m_port, other));
        c.open();
        const QString port = QStringLiteral("SELECT current_setting('port') AS \"ANSWER\"");
        QCOMPARE(ask(c, port), m_port);
        const QList<pid_t> frozen = clusterProcesses(m_postmaster);
        const auto thaw = [frozen] {
            for (const pid_t pid : frozen)
                ::kill(pid, SIGCONT);
        };
        for (const pid_t pid : frozen)
            ::kill(pid, SIGSTOP);
        // Should the call wait on the frozen server instead, it is thawed after 60 s: the
        // test then fails rather than hangs.
        QSemaphore answered;
        std::unique_ptr<QThread> rescue(QThread::create([&answered, thaw] {
            if (!answered.tryAcquire(1, 60000))
                thaw();
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
        thaw();
        QVERIFY2(failure.isEmpty(), qPrintable(failure));
        QCOMPARE(answer, other);
    }
};

QTEST_GUILESS_MAIN(TestStoreTrust)
#include "tst_storetrust.moc"
