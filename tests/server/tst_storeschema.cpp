// kioskctl init-db on stores of every age: a new store gets the current schema, an older
// one each step it lacks, once, with its data kept; a second run changes nothing, and a
// store newer than the program is left alone, also when several run at the same moment. Version 2 makes an NSU unique
// per till and movement date, so the same NSU on another day is recorded and on the same day refused.
#include "SqlConnection.h"
#include "StoreSchema.h"
#include "TestStore.h"

#include <QProcess>
#include <QtTest>

namespace
{
QString movement(const QString& number, const QString& day)
{
    return QStringLiteral(
               "INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQUMOVI, IDTIPOMOVIVE, VRMOVIVEND, "
               "CDNSUHOSTTEF, DTMOVIMCAIXA) VALUES ('0001', '001', '2026-12-01 06:00:00.000', '%1', 'E', 25, "
               "'000000000007', '%2 00:00:00.000')")
        .arg(number, day);
}

bool accepted(TestStore& store, const QString& sql)
{
    try {
        store.exec(sql);
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// Turns a current store into one as the first schema left it: an NSU unique per till
// forever, no version table.
void makeVersion1(TestStore& store)
{
    store.exec(QStringLiteral("DROP INDEX MOVCAIXA_NSU_DIA"));
    store.exec(QStringLiteral("DROP TABLE VERSAOESQUEMA"));
    store.exec(QStringLiteral("CREATE UNIQUE INDEX MOVCAIXA_NSU ON MOVCAIXA (CDFILIAL, CDCAIXA, CDNSUHOSTTEF) "
                              "WHERE CDNSUHOSTTEF IS NOT NULL AND CDNSUHOSTTEF <> ''"));
}

// What a run of init-db could change: the versions recorded and the movements.
QString snapshot(TestStore& store)
{
    return QStringLiteral("%1 versions, last %2 at %3; %4 movements")
        .arg(store.count(QStringLiteral("FROM VERSAOESQUEMA")))
        .arg(store.scalar(QStringLiteral("SELECT MAX(NRVERSAOESQ) FROM VERSAOESQUEMA")).toInt())
        .arg(store.scalar(QStringLiteral("SELECT MAX(DTHRAPLICESQ) FROM VERSAOESQUEMA")).toString())
        .arg(store.count(QStringLiteral("FROM MOVCAIXA")));
}
} // namespace

class TestStoreSchema : public QObject
{
    Q_OBJECT

private slots:
    void initDbBringsEveryStoreToTheCurrentVersionOnce_data()
    {
        QTest::addColumn<int>("startsAt"); // 0: no tables; 1: the schema before versions were recorded
        QTest::addColumn<int>("endsAt");
        QTest::addColumn<int>("versionRows");
        QTest::newRow("new store") << 0 << 2 << 1;
        QTest::newRow("version 1 store") << 1 << 2 << 1;
        QTest::newRow("current store") << 2 << 2 << 1;
        QTest::newRow("store newer than the program") << 3 << 3 << 2;
    }

    void initDbBringsEveryStoreToTheCurrentVersionOnce()
    {
        QFETCH(int, startsAt);
        QFETCH(int, endsAt);
        QFETCH(int, versionRows);
        TestStore store;
        if (startsAt > 0) {
            store.createSchema();
            store.exec(movement(QStringLiteral("0000000001"), QStringLiteral("2026-12-08")));
        }
        if (startsAt == 1) {
            makeVersion1(store);
            QVERIFY2(!accepted(store, movement(QStringLiteral("0000000002"), QStringLiteral("2026-12-09"))),
                     "the old store took an NSU again");
        }
        if (startsAt == 3)
            store.exec(QStringLiteral("INSERT INTO VERSAOESQUEMA VALUES (3, 'futura', '2027-01-01 00:00:00.000')"));
        QCOMPARE(StoreSchema::storedVersion(store.connection()), startsAt);

        if (startsAt > StoreSchema::currentVersion) {
            const QString before = snapshot(store);
            QVERIFY_THROWS_EXCEPTION(std::exception, StoreSchema::create(store.connection()));
            QCOMPARE(snapshot(store), before);
            return;
        }
        StoreSchema::create(store.connection());
        QCOMPARE(StoreSchema::storedVersion(store.connection()), endsAt);
        QCOMPARE(store.count(QStringLiteral("FROM VERSAOESQUEMA")), versionRows);
        QCOMPARE(store.count(QStringLiteral("FROM MOVCAIXA")), startsAt > 0 ? 1 : 0);

        const QString once = snapshot(store);
        StoreSchema::create(store.connection());
        QCOMPARE(snapshot(store), once);

        // The same NSU on another day is another purchase; on the same day it is refused.
        QVERIFY(accepted(store, movement(QStringLiteral("0000000003"), QStringLiteral("2026-12-09"))));
        QVERIFY(!accepted(store, movement(QStringLiteral("0000000004"), QStringLiteral("2026-12-09"))));
        if (startsAt > 0)
            QVERIFY(!accepted(store, movement(QStringLiteral("0000000005"), QStringLiteral("2026-12-08"))));
    }

    // Technicians at several terminals upgrade one old store at the same moment: each init-db
    // succeeds, the step runs once.
    void initDbAtTheSameMomentUpgradesOnce()
    {
        TestStore store;
        store.createSchema();
        makeVersion1(store);
        store.exec(movement(QStringLiteral("0000000001"), QStringLiteral("2026-12-08")));
        store.connection().close();

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIOSK_DB"), store.connectionString());
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int i = 0; i < 3; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            p->setProcessChannelMode(QProcess::MergedChannels);
            p->start(QStringLiteral(KIOSKCTL_PATH), {QStringLiteral("init-db")});
            procs.push_back(std::move(p));
        }
        for (auto& p : procs) {
            QVERIFY(p->waitForFinished(60000));
            QVERIFY2(p->exitStatus() == QProcess::NormalExit && p->exitCode() == 0, p->readAll().constData());
        }
        store.connection().open();
        QCOMPARE(StoreSchema::storedVersion(store.connection()), StoreSchema::currentVersion);
        QCOMPARE(store.count(QStringLiteral("FROM VERSAOESQUEMA")), 1);
        QVERIFY(accepted(store, movement(QStringLiteral("0000000002"), QStringLiteral("2026-12-09"))));
        QVERIFY(!accepted(store, movement(QStringLiteral("0000000003"), QStringLiteral("2026-12-08"))));
    }
};

QTEST_GUILESS_MAIN(TestStoreSchema)
#include "tst_storeschema.moc"
