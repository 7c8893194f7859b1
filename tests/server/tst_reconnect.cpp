// Sessions the PostgreSQL server drops: a restart between two recordings, and the
// server ending the session in the middle of one.
#include "Clock.h"
#include "DateTimeValue.h"
#include "ModuleFixture.h"
#include "Packets.h"

#include <QProcess>
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
    void cleanup() { Clock::setInstance(nullptr); }

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
};

QTEST_GUILESS_MAIN(TestReconnect)
#include "tst_reconnect.moc"
