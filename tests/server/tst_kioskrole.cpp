// A kiosk's PostgreSQL role (kioskctl grant-kiosk): it sells, recovers and reports through the
// module, and a kiosk's password gives nothing more: no balance of its choosing, no delete,
// no change of what was written, no DDL.
#include "Clock.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskRole.h"
#include "ModuleFixture.h"
#include "Packets.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QUuid>
#include <QtTest>

using namespace Srv_kvb52814;

class TestKioskRole : public QObject
{
    Q_OBJECT
    std::unique_ptr<ModuleFixture> m_fixture;
    QString m_role;
    SqlConnection m_kiosk{QStringLiteral("kioskRole")};
    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(9, 0))};

    // A role belongs to the cluster, not to the test's database: the store's owner makes and drops it.
    void admin(const QString& sql) { m_fixture->store->exec(sql); }

private slots:
    void initTestCase()
    {
        QCOMPARE(TestStore::engineUnderTest(), QStringLiteral("POSTGRESQL"));
        Clock::setInstance(&m_clock);
        m_fixture = std::make_unique<ModuleFixture>();
        m_fixture->seedBranch(1);
        // A role name is an identifier: it cannot be bound; this one is the test's own.
        m_role = QStringLiteral("kiosk_") + QUuid::createUuid().toString(QUuid::Id128).left(12);
        admin(QStringLiteral("CREATE ROLE %1 LOGIN").arg(m_role));
        KioskRole::grant(m_fixture->store->connection(), m_role);
        const QString kioskString =
            QString(m_fixture->store->connectionString())
                .replace(QStringLiteral("User ID=postgres"), QStringLiteral("User ID=") + m_role);
        // The module works as the kiosk from here on.
        m_fixture->session.reset();
        HostConfig::instance().setConnectionString(kioskString);
        m_fixture->session = std::make_unique<ModuleInstances::ServerSession>();
        m_kiosk.setConnectionString(kioskString);
        m_kiosk.open();
    }

    void cleanupTestCase()
    {
        Clock::setInstance(nullptr);
        m_kiosk.close();
        m_fixture->session.reset();
        admin(QStringLiteral("DROP OWNED BY %1; DROP ROLE %1").arg(m_role));
    }

    void theKioskSellsRecoversAndReports()
    {
        DataPacket packet = Packets::movement({40.0}, DateTimeValue::now());
        packet.rows()[0][packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = QStringLiteral("NSU9");
        const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
        const double day = DateTimeValue::fromDate(QDate(2026, 12, 8));
        const QString branch = QStringLiteral("0001"), till = QStringLiteral("001");
        QVariant r =
            setGravaCompCred(PacketVariant::of(packet), branch, till, QStringLiteral("C1"), QStringLiteral("K1"),
                             QStringLiteral("001"), QStringLiteral("2612080900"), QStringLiteral("000123"),
                             QStringLiteral("000045"), QStringLiteral("BE0912"), turn, day);
        QVERIFY2(!r.isValid(), qPrintable(r.toString()));
        r = getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1"));
        QVERIFY2(PacketVariant::isPacket(r), qPrintable(r.toString()));
        QCOMPARE(PacketVariant::packet(r).rows().value(0).value(0).toDouble(), 40.0);
        r = getCompCredNsu(branch, till, QStringLiteral("NSU9"));
        QVERIFY2(PacketVariant::isPacket(r), qPrintable(r.toString()));
        m_clock.set(QDateTime(QDate(2026, 12, 8), QTime(12, 0)));
        r = setEstornaCompCred(branch, till, QStringLiteral("NSU9"), day);
        QVERIFY2(!r.isValid(), qPrintable(r.toString()));
        QCOMPARE(m_fixture->store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 0.0);
    }

    // Statements a kiosk's password could send by hand.
    void whatTheRoleMayDoByHand_data()
    {
        QTest::addColumn<QString>("sql");
        QTest::addColumn<bool>("allowed");
        QTest::newRow("read balances") << QStringLiteral("SELECT COUNT(*) FROM SALDOCONS") << true;
        QTest::newRow("move a counter on")
            << QStringLiteral("UPDATE NOVOCODIGO SET NRSEQUENCIAL = NRSEQUENCIAL") << true;
        QTest::newRow("set a balance") << QStringLiteral("UPDATE SALDOCONS SET VRSALDCONFAM = 999999") << false;
        QTest::newRow("change a statement line")
            << QStringLiteral("UPDATE EXTRATOCONS SET VRMOVEXTCONS = 5000") << false;
        QTest::newRow("change a movement") << QStringLiteral("UPDATE MOVCAIXA SET VRMOVIVEND = 0") << false;
        QTest::newRow("rename a counter") << QStringLiteral("UPDATE NOVOCODIGO SET CDCONTADOR = 'X'") << false;
        QTest::newRow("delete movements") << QStringLiteral("DELETE FROM MOVCAIXA") << false;
        QTest::newRow("create a table") << QStringLiteral("CREATE TABLE QUIOSQUE_X (A INTEGER)") << false;
        QTest::newRow("replace the balance procedure")
            << QStringLiteral("CREATE OR REPLACE FUNCTION ATUALIZA_SALDO_CONS_FKB(VARCHAR, VARCHAR, VARCHAR, "
                              "TIMESTAMP) RETURNS VOID LANGUAGE sql AS 'SELECT NULL'")
            << false;
        QTest::newRow("grant itself more")
            << QStringLiteral("SELECT CONCEDE_PAPEL_QUIOSQUE(CAST(CURRENT_USER AS VARCHAR))") << false;
    }
    void whatTheRoleMayDoByHand()
    {
        QFETCH(QString, sql);
        QFETCH(bool, allowed);
        QSqlQuery q(m_kiosk.database());
        const bool done = q.exec(sql);
        QVERIFY2(done == allowed, qPrintable(done ? QStringLiteral("allowed") : q.lastError().text()));
        if (!done)
            QVERIFY2(q.lastError().nativeErrorCode() == QLatin1String("42501"), qPrintable(q.lastError().text()));
    }
};

QTEST_GUILESS_MAIN(TestKioskRole)
#include "tst_kioskrole.moc"
