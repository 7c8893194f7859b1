// Several kioskctl processes recording at the same time on one embedded store:
// writers queue for the store's single write lock instead of failing.
#include "DataPacket.h"
#include "DateTimeValue.h"
#include "ModuleFixture.h"
#include "Packets.h"

#include <QProcess>
#include <QSqlQuery>
#include <QtTest>

class TestParallelWriters : public QObject
{
    Q_OBJECT

private slots:
    void writerProcessesOnOneStoreAllRecord()
    {
        ModuleFixture f;
        f.seedBranch(2);
        for (int w = 0; w < 4; ++w) // K1 comes with the branch
            if (w != 1)
                f.seedConsumer(QStringLiteral("C1"), QStringLiteral("K%1").arg(w));
        delete Srv_kvb52814::rdmRecSaldo; // the store belongs to the processes from here on
        Srv_kvb52814::rdmRecSaldo = nullptr;
        f.store->connection().close();

        QTemporaryDir dir;
        const double purchaseTime = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 0)));

        constexpr int writers = 4;
        constexpr int rounds = 8;
        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIOSK_DB"), f.store->connectionString());
        QStringList failures;
        for (int round = 0; round < rounds; ++round) {
            std::vector<std::unique_ptr<QProcess>> procs;
            for (int w = 0; w < writers; ++w) {
                // Every purchase is a card transaction of its own (its own NSU).
                const QString packetFile = dir.filePath(QStringLiteral("packet-%1-%2.json").arg(round).arg(w));
                Packets::movement({7.25, 2.75}, purchaseTime).saveFile(packetFile);
                auto p = std::make_unique<QProcess>();
                p->setProcessEnvironment(env);
                p->setProcessChannelMode(QProcess::MergedChannels);
                // Same till and counters, one consumer per writer.
                p->start(QStringLiteral(KIOSKCTL_PATH),
                         {QStringLiteral("record"), packetFile, QStringLiteral("0001"), QStringLiteral("001"),
                          QStringLiteral("C1"), QStringLiteral("K%1").arg(w), QStringLiteral("001"),
                          QStringLiteral("D%1").arg(round), QStringLiteral("000123"), QStringLiteral("000045"),
                          QStringLiteral("BE0912"), QStringLiteral("2026-12-01T06:00:00"),
                          QStringLiteral("2026-12-08")});
                procs.push_back(std::move(p));
            }
            for (auto& p : procs) {
                QVERIFY(p->waitForFinished(60000));
                // A writer must wait its turn, not fail and succeed on a retry.
                const QString output = QString::fromUtf8(p->readAll()).trimmed();
                if (p->exitStatus() != QProcess::NormalExit || p->exitCode() != 0 ||
                    output.contains(QLatin1String("locked")))
                    failures << output;
            }
        }
        QVERIFY2(failures.isEmpty(), qPrintable(failures.join(QLatin1String(" | "))));

        TestStore& s = *f.store;
        s.connection().open();
        constexpr int movements = writers * rounds * 2;
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA")), movements);
        QCOMPARE(s.count(QStringLiteral("FROM (SELECT DISTINCT NRSEQUMOVI FROM MOVCAIXA) M")), movements);
        QCOMPARE(s.count(QStringLiteral("FROM (SELECT DISTINCT NRSEQECFDOCNF FROM DOCNFISCECF) D")), movements);
        QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS")), movements);
        for (int w = 0; w < writers; ++w) {
            const QString consumer = QStringLiteral("K%1").arg(w);
            const double lines = s.scalar(QStringLiteral("SELECT SUM(VRMOVEXTCONS) FROM EXTRATOCONS "
                                                         "WHERE CDCONSUMIDOR = '%1'")
                                              .arg(consumer))
                                     .toDouble();
            const double balance = s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE "
                                                           "CDCONSUMIDOR = '%1' AND CDFAMILISALD = '001'")
                                                .arg(consumer))
                                       .toDouble();
            QCOMPARE(lines, rounds * 10.0);
            QCOMPARE(balance, lines);
        }
    }
};

QTEST_GUILESS_MAIN(TestParallelWriters)
#include "tst_parallel_writers.moc"
