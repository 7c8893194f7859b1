// Sessions the PostgreSQL server drops: a restart between two recordings, the
// server ending the session in the middle of one, and a store that takes no
// connections for a while (a standby being promoted).
#include "Clock.h"
#include "ConnectionString.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"

#include <QProcess>
#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>
#include <unistd.h>

using namespace Srv_kvb52814;

namespace {
QVariant record(double amount)
{
    return setGravaCompCred(PacketVariant::of(Packets::movement({amount, 1.0}, DateTimeValue::now())),
                            QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("C1"), QStringLiteral("K1"),
                            QStringLiteral("001"), QStringLiteral("2612081015"), QStringLiteral("000123"),
                            QStringLiteral("000045"), QStringLiteral("BE0912"),
                            DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0))),
                            DateTimeValue::fromDate(QDate(2026, 12, 8)));
}

// pg_ctl restart of the throwaway cluster (as its owner when the tests run as root).
void restartServer()
{
    const QString bin = qEnvironmentVariable("KIOSK_PG_BIN");
    const QString data = qEnvironmentVariable("KIOSK_PG_DATA");
    QVERIFY2(!bin.isEmpty() && !data.isEmpty(),
             "KIOSK_PG_BIN and KIOSK_PG_DATA come from scripts/throwaway-postgres.sh");
    QStringList command = {bin + QStringLiteral("/pg_ctl"), QStringLiteral("-D"), data, QStringLiteral("-l"),
                           data + QStringLiteral("/../log"), QStringLiteral("-w"), QStringLiteral("-m"),
                           QStringLiteral("fast"), QStringLiteral("restart")};
    if (geteuid() == 0)
        command = QStringList{QStringLiteral("runuser"), QStringLiteral("-u"), QStringLiteral("postgres"),
                              QStringLiteral("--")} + command;
    QProcess pgctl;
    pgctl.setProcessChannelMode(QProcess::MergedChannels);
    pgctl.start(command.takeFirst(), command);
    QVERIFY(pgctl.waitForFinished(60000));
    QVERIFY2(pgctl.exitCode() == 0, pgctl.readAll().constData());
}
// The throwaway server's admin connection: ends every session of the test's database
// and lets it take connections again or not, as a server being replaced does.
class StoreGate
{
public:
    explicit StoreGate(const QString& database) : m_database(database)
    {
        m_admin.setConnectionString(qEnvironmentVariable("KIOSK_TEST_PG"));
        m_admin.open();
    }
    ~StoreGate()
    {
        try {
            allow(true);
        } catch (const KioskError& e) {
            qWarning("could not open the store again: %s", e.what());
        }
    }
    void allow(bool open)
    {
        // A database name is an identifier: it cannot be bound; this one is the test's own.
        m_admin.execDirect(QStringLiteral("ALTER DATABASE %1 ALLOW_CONNECTIONS %2")
                               .arg(m_database, open ? QStringLiteral("true") : QStringLiteral("false")));
    }
    void endSessions()
    {
        QSqlQuery q(m_admin.database());
        q.prepare(QStringLiteral("SELECT pg_terminate_backend(pid) FROM pg_stat_activity "
                                 "WHERE datname = :DB AND pid <> pg_backend_pid()"));
        q.bindValue(QStringLiteral(":DB"), m_database);
        QVERIFY2(q.exec(), qPrintable(q.lastError().text()));
    }

private:
    QString m_database;
    SqlConnection m_admin{QStringLiteral("storeGate")};
};
} // namespace

class TestReconnect : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16))};

private slots:
    void init()
    {
        Clock::setInstance(&m_clock);
        m_clock.advanceMs(1000); // a statement time of its own for every recording
    }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        SqlConnection::setReconnectPause(nullptr);
    }

    void recordingAfterAServerRestartGoesThrough()
    {
        ModuleFixture f;
        f.seedBranch(1);
        QVariant result = record(10);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));

        restartServer();
        m_clock.advanceMs(1000);
        // Both the module's session and the number generator's pooled one are stale now.
        result = record(20);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));

        TestStore& s = *f.store;
        s.connection().close();
        s.connection().open();
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA")), 4);
        QCOMPARE(s.count(QStringLiteral("FROM (SELECT DISTINCT NRSEQUMOVI FROM MOVCAIXA) M")), 4);
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 32.0);
        // Reads outside a transaction reconnect too.
        restartServer();
        const QVariant balances = getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1"));
        QVERIFY2(PacketVariant::isPacket(balances), qPrintable(balances.toString()));
    }

    void sessionEndedInsideARecordingWritesNothing()
    {
        ModuleFixture f;
        f.seedBranch(1);
        // The server ends the session when the first statement line is written, after
        // the fiscal document and the cash movement of that row.
        f.store->exec(QStringLiteral("CREATE FUNCTION END_SESSION() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                     "PERFORM pg_terminate_backend(pg_backend_pid()); RETURN NEW; END $$"));
        f.store->exec(QStringLiteral("CREATE TRIGGER END_SESSION BEFORE INSERT ON EXTRATOCONS "
                                     "FOR EACH ROW EXECUTE FUNCTION END_SESSION()"));
        const QVariant lost = record(10);
        QVERIFY(lost.isValid());
        QVERIFY2(lost.toString().contains(QLatin1String("lost inside a transaction; nothing of that transaction was written")),
                 qPrintable(lost.toString()));
        QVERIFY(!f.dm().adcRecSaldo->inTransaction());
        for (const char* table : {"MOVCAIXA", "EXTRATOCONS", "DOCNFISCECF", "SALDOCONS"})
            QCOMPARE(f.store->count(QStringLiteral("FROM ") + QLatin1String(table)), 0);

        f.store->exec(QStringLiteral("DROP TRIGGER END_SESSION ON EXTRATOCONS"));
        const QVariant accepted = record(10);
        QVERIFY2(!accepted.isValid(), qPrintable(accepted.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 2);
    }

    // Of the servers named, the one that takes writes: a store whose sessions are
    // read-only (a standby) is passed over when the string asks for read-write.
    void targetSessionAttrsReachTheServer_data()
    {
        QTest::addColumn<QString>("attrs");
        QTest::addColumn<bool>("connects");
        QTest::newRow("read-write") << ";Target Session Attrs=read-write" << false;
        QTest::newRow("any") << ";Target Session Attrs=any" << true;
        QTest::newRow("not given") << "" << true;
    }
    void targetSessionAttrsReachTheServer()
    {
        QFETCH(QString, attrs);
        QFETCH(bool, connects);
        TestStore store;
        const ConnectionString cs(store.connectionString());
        store.exec(QStringLiteral("ALTER DATABASE %1 SET default_transaction_read_only = on")
                       .arg(cs.value(QStringLiteral("Database"))));
        SqlConnection c(QStringLiteral("standbyProbe"));
        c.setConnectionString(QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1,127.0.0.1;Port=1,%1;Database=%2;"
                                             "User ID=%3;Failover Window=0")
                                  .arg(cs.value(QStringLiteral("Port")), cs.value(QStringLiteral("Database")),
                                       cs.value(QStringLiteral("User ID"))) +
                              attrs);
        try {
            c.open();
            QVERIFY(connects);
        } catch (const SqlError& e) {
            QVERIFY2(!connects, e.what());
            QVERIFY2(QString::fromUtf8(e.what()).contains(QLatin1String("read-only")), e.what());
        }
    }

    // The store ends every session and refuses connections until the module's n-th
    // pause between attempts (0: for good). The module names a server that is gone
    // and then the real one, as a connection string of a store with a standby does.
    void callsWaitForTheStoreWithinTheFailoverWindow_data()
    {
        QTest::addColumn<QString>("window");    // "Failover Window" seconds ("" for the default)
        QTest::addColumn<bool>("recording");    // the call: a recording, or a balance read
        QTest::addColumn<bool>("midRecording"); // the session ends inside the recording's transaction
        QTest::addColumn<int>("backAfter");     // pauses before the store takes connections again
        QTest::addColumn<bool>("succeeds");
        QTest::newRow("read, back within the window") << "5" << false << false << 3 << true;
        QTest::newRow("recording, back within the default window") << "" << true << false << 6 << true;
        QTest::newRow("read, the window passes") << "2" << false << false << 0 << false;
        QTest::newRow("no window: one attempt") << "0" << false << false << 1 << false;
        QTest::newRow("lost inside the recording, the next one waits") << "5" << true << true << 2 << true;
    }
    void callsWaitForTheStoreWithinTheFailoverWindow()
    {
        QFETCH(QString, window);
        QFETCH(bool, recording);
        QFETCH(bool, midRecording);
        QFETCH(int, backAfter);
        QFETCH(bool, succeeds);
        try {
            waitForTheStore(window, recording, midRecording, backAfter, succeeds);
        } catch (const KioskError& e) {
            QFAIL(e.what());
        }
    }

private:
    void waitForTheStore(const QString& window, bool recording, bool midRecording, int backAfter, bool succeeds)
    {
        ModuleFixture f;
        f.seedBranch(1);
        f.session.reset();
        const ConnectionString store(f.store->connectionString());
        QString ha = QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1,127.0.0.1;Port=1,%1;Database=%2;User ID=%3;"
                                    "Target Session Attrs=read-write")
                         .arg(store.value(QStringLiteral("Port")), store.value(QStringLiteral("Database")),
                              store.value(QStringLiteral("User ID")));
        if (!window.isEmpty())
            ha += QStringLiteral(";Failover Window=") + window;
        HostConfig::instance().setConnectionString(ha);
        f.session = std::make_unique<ModuleInstances::ServerSession>();
        QVERIFY(f.dm().adcRecSaldo->connected());
        QVariant result = record(10); // the number generator's own session is open too
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));

        StoreGate gate(store.value(QStringLiteral("Database")));
        int pauses = 0;
        qint64 paused = 0;
        SqlConnection::setReconnectPause([&](int ms) {
            QVERIFY(ms > 0 && ms <= SqlConnection::reconnectIntervalMs);
            m_clock.advanceMs(ms);
            paused += ms;
            if (++pauses == backAfter)
                gate.allow(true);
        });
        if (midRecording) {
            // The server goes while the recording's transaction is open: nothing is
            // retried inside it; the next call waits for the store instead.
            // Once only: a sequence keeps its count through the rollback.
            f.store->exec(QStringLiteral("CREATE SEQUENCE END_ALL_ONCE"));
            f.store->exec(QStringLiteral("CREATE FUNCTION END_ALL() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                         "IF nextval('END_ALL_ONCE') = 1 THEN PERFORM pg_terminate_backend(pid) "
                                         "FROM pg_stat_activity WHERE datname = current_database(); END IF; "
                                         "RETURN NEW; END $$"));
            f.store->exec(QStringLiteral("CREATE TRIGGER END_ALL BEFORE INSERT ON EXTRATOCONS "
                                         "FOR EACH ROW EXECUTE FUNCTION END_ALL()"));
            gate.allow(false);
        } else {
            gate.allow(false);
            gate.endSessions();
        }
        m_clock.advanceMs(1000);
        result = recording ? record(20) : getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1"));
        if (midRecording) {
            QVERIFY2(result.toString().contains(QLatin1String("lost inside a transaction")),
                     qPrintable(result.toString()));
            QCOMPARE(pauses, 0);
            m_clock.advanceMs(1000);
            result = record(30);
        }
        const bool ok = recording ? !result.isValid() : PacketVariant::isPacket(result);
        QVERIFY2(ok == succeeds, qPrintable(result.toString()));
        const int windowMs = ConnectionString(ha).failoverWindowMs();
        if (succeeds) {
            QCOMPARE(pauses, backAfter);
            QVERIFY(paused < windowMs);
        } else {
            QVERIFY(paused >= windowMs);
            QCOMPARE(pauses, windowMs / SqlConnection::reconnectIntervalMs);
            if (windowMs > 0)
                QVERIFY2(
                    result.toString().contains(QStringLiteral("still unreachable after %1 attempts").arg(pauses + 1)),
                    qPrintable(result.toString()));
        }
        gate.allow(true);
        SqlConnection::setReconnectPause(nullptr);
        f.session.reset();
        f.store->connection().close();
        f.store->connection().open();
        // What was recorded is whole: two statement lines per recording that went through.
        const int recorded = 1 + (succeeds && recording ? 1 : 0);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 2 * recorded);
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 2 * recorded);
    }
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
