// One consumer recharging at several kiosks at once on a shared PostgreSQL store: every credit
// is recorded, each statement line gets a key of its own, and the balance is the sum of the lines.
#include "Clock.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "SqlCommand.h"
#include "SqlQuery.h"
#include "StatementFile.h"
#include "TdtmZelProxCodigo.h"

#include <QProcess>
#include <QSet>
#include <QThread>
#include <QtTest>
#include <atomic>
#include <latch>

using namespace Srv_kvb52814;

namespace
{
constexpr int kiosks = 16;
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const double instant = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 16, 0)));

QVariant record(const DataPacket& packet, const QString& consumer = QStringLiteral("K1"))
{
    return setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"),
                            QStringLiteral("C1"), consumer, QStringLiteral("002"), QStringLiteral("2612081016"),
                            QString(), QString(), QString(), turn, DateTimeValue::dateOnly(instant));
}

void evolve(SqlConnection& c, const QString& consumer)
{
    SqlQuery q(QStringLiteral("evolve"), &c);
    q.setSql(QStringLiteral("SELECT 1 AS DONE FROM (SELECT ATUALIZA_SALDO_CONS_FKB(:P_CDCLIENTE, :P_CDCONSUMIDOR, "
                            ":P_CDFAMILISALD, CAST(:P_DTINIEVOLUCAO AS TIMESTAMP))) AS E"));
    q.paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(QStringLiteral("C1"));
    q.paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumer);
    q.paramByName(QStringLiteral("P_CDFAMILISALD")).setAsString(QStringLiteral("002"));
    q.paramByName(QStringLiteral("P_DTINIEVOLUCAO")).setAsDateTime(DateTimeValue::dateOnly(instant) - 120);
    q.open();
}

// The statement line the recording writes, on a connection of the caller's.
void insertLine(SqlConnection& c, const QString& consumer, double amount)
{
    SqlCommand line(QStringLiteral("acmInsEXTRATOCONS"), &c);
    line.setStatement(TrdmRecSaldo::statementFile(QStringLiteral("acmInsEXTRATOCONS.sql")));
    for (const char* n : {"CDCLIENTE", "CDCONSUMIDOR", "CDFAMILISALD", "NRSEQMOVEXT", "CDTIPORECE", "IDTPMOVEXT",
                          "DSOPEEXTCONS", "CDFILIAL", "CDCAIXA", "NRSEQVENDA", "NRDEPOSICONS", "NRSEQMOVCAIXA"})
        line.paramByName(QString::fromLatin1(n)).setAsString(QString());
    line.paramByName(QStringLiteral("CDCLIENTE")).setAsString(QStringLiteral("C1"));
    line.paramByName(QStringLiteral("CDCONSUMIDOR")).setAsString(consumer);
    line.paramByName(QStringLiteral("CDFAMILISALD")).setAsString(QStringLiteral("002"));
    line.paramByName(QStringLiteral("NRSEQMOVEXT")).setAsString(QStringLiteral("001"));
    line.paramByName(QStringLiteral("IDTPMOVEXT")).setAsString(QStringLiteral("C"));
    line.paramByName(QStringLiteral("DTMOVEXTCONS")).setAsDateTime(instant);
    line.paramByName(QStringLiteral("DTABERCAIX")).setAsDateTime(turn);
    line.paramByName(QStringLiteral("VRMOVEXTCONS")).setAsFloat(amount);
    line.paramByName(QStringLiteral("VRSALDCONEXT")).setAsFloat(amount);
    line.execute();
}

void verifyBalanceIsTheSumOfTheLines(TestStore& s, int lines, double each)
{
    QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K1'")), lines);
    QCOMPARE(s.count(QStringLiteral(
                 "FROM (SELECT DISTINCT DTMOVEXTCONS, NRSEQMOVEXT FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K1') D")),
             lines);
    const double sum =
        s.scalar(QStringLiteral("SELECT SUM(VRMOVEXTCONS) FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K1'")).toDouble();
    QCOMPARE(sum, lines * each);
    QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCONSUMIDOR = 'K1'")).toDouble(), sum);
    // The running balance of the last line is the balance too.
    QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K1' "
                                     "ORDER BY DTMOVEXTCONS DESC, NRSEQMOVEXT DESC LIMIT 1"))
                 .toDouble(),
             sum);
}
} // namespace

class TestSameConsumer : public QObject
{
    Q_OBJECT

    ManualClock m_clock{DateTimeValue::toDateTime(instant)};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        TdtmZelProxCodigo::releasePooledConnections();
    }

    void linesOfOneInstantTakeTheNextFreeNumber()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.seedConsumer(QStringLiteral("C1"), QStringLiteral("K2"));
        QVERIFY(!record(Packets::movement({10.0}, instant)).isValid());
        const QVariant second = record(Packets::movement({1.0, 2.0}, instant)); // the same instant
        QVERIFY2(!second.isValid(), qPrintable(second.toString()));
        QCOMPARE(
            f.store->scalar(QStringLiteral("SELECT STRING_AGG(NRSEQMOVEXT, ',' ORDER BY NRSEQMOVEXT) FROM EXTRATOCONS"))
                .toString(),
            QStringLiteral("001,002,003"));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 13.0);
        // Another consumer's first line of that instant is still "001".
        QVERIFY(!record(Packets::movement({4.0}, instant), QStringLiteral("K2")).isValid());
        QCOMPARE(
            f.store->scalar(QStringLiteral("SELECT NRSEQMOVEXT FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K2'")).toString(),
            QStringLiteral("001"));
    }

    void sixteenConnectionsWriteTheSameLineAtOnce()
    {
        TestStore store;
        store.createSchema();
        const QString cs = store.connectionString();
        std::latch start(kiosks);
        std::atomic<int> failures{0};
        QStringList failureTexts;
        QMutex guard;
        QList<QThread*> threads;
        for (int k = 0; k < kiosks; ++k) {
            threads << QThread::create([&, k] {
                SqlConnection own(QStringLiteral("kiosk%1").arg(k));
                own.setConnectionString(cs);
                try {
                    own.open();
                    start.arrive_and_wait();
                    own.beginTrans();
                    insertLine(own, QStringLiteral("K1"), 2.5);
                    own.commitTrans();
                    evolve(own, QStringLiteral("K1"));
                } catch (const KioskError& e) {
                    ++failures;
                    QMutexLocker lock(&guard);
                    failureTexts << e.message();
                }
            });
            threads.last()->start();
        }
        for (QThread* t : threads) {
            t->wait();
            delete t;
        }
        QVERIFY2(failures == 0, qPrintable(failureTexts.join(QLatin1Char('\n'))));
        verifyBalanceIsTheSumOfTheLines(store, kiosks, 2.5);
        QCOMPARE(store.scalar(QStringLiteral("SELECT MAX(NRSEQMOVEXT) FROM EXTRATOCONS")).toString(),
                 QStringLiteral("016"));
    }

    void sixteenKioskProcessesRechargeOneConsumer()
    {
        ModuleFixture f;
        f.seedBranch(2);
        QTemporaryDir dir;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIOSK_DB"), f.store->connectionString());
        QList<QProcess*> processes;
        for (int k = 0; k < kiosks; ++k) {
            // Each kiosk's purchase carries its own card transaction (NSU): the store refuses a repeat on a till.
            const QString packetFile = dir.filePath(QStringLiteral("packet-%1.json").arg(k));
            Packets::movement({7.25}, instant).saveFile(packetFile);
            auto* p = new QProcess(this);
            p->setProcessEnvironment(env);
            p->start(QStringLiteral(KIOSKCTL_PATH),
                     {QStringLiteral("record"), packetFile, QStringLiteral("0001"), QStringLiteral("001"),
                      QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("002"), QStringLiteral("2612081016"),
                      QString(), QString(), QString(), QStringLiteral("2026-12-01T06:00:00"),
                      QStringLiteral("2026-12-08")});
            processes << p;
        }
        QStringList failed;
        for (QProcess* p : processes) {
            QVERIFY(p->waitForFinished(120000));
            if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0)
                failed << QString::fromUtf8(p->readAllStandardOutput() + p->readAllStandardError());
            delete p;
        }
        QVERIFY2(failed.isEmpty(), qPrintable(failed.join(QLatin1Char('\n'))));
        QCOMPARE(f.store->count(QStringLiteral("FROM (SELECT DISTINCT NRSEQUMOVI FROM MOVCAIXA) M")), kiosks);
        verifyBalanceIsTheSumOfTheLines(*f.store, kiosks, 7.25);
    }

    void anEvolutionQueuesBehindAnOpenRecordingOfItsConsumerOnly()
    {
        TestStore store;
        store.createSchema();
        SqlConnection recording(QStringLiteral("recording")), other(QStringLiteral("other"));
        for (SqlConnection* c : {&recording, &other}) {
            c->setConnectionString(store.connectionString());
            c->open();
        }
        recording.beginTrans();
        insertLine(recording, QStringLiteral("K1"), 3.0);
        // A database-side wait bound, not a timer: the procedure must be waiting on the consumer's lock.
        other.execDirect(QStringLiteral("SET lock_timeout = '100ms'"));
        try {
            evolve(other, QStringLiteral("K1"));
            QFAIL("the evolution of K1 ran beside an open recording of K1");
        } catch (const SqlError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("lock timeout")), qPrintable(e.message()));
        }
        evolve(other, QStringLiteral("K2")); // another consumer does not wait
        recording.commitTrans();
        evolve(other, QStringLiteral("K1"));
        QCOMPARE(
            store.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCONSUMIDOR = 'K1'")).toDouble(),
            3.0);
    }
};

QTEST_GUILESS_MAIN(TestSameConsumer)
#include "tst_sameconsumer.moc"
