// Balance queries and balance evolution against the store.
#include "ClientDataSet.h"
#include "DateTimeValue.h"
#include "Srv_registro.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "SqlConnection.h"
#include "SqlStoredProc.h"
#include "StoreTriggers.h"

#include <QtTest>

using namespace Srv_kvb52814;

namespace {
DataPacket packetOf(const QVariant& v)
{
    if (!PacketVariant::isPacket(v))
        qWarning("not a packet: %s", qPrintable(v.toString()));
    return PacketVariant::packet(v);
}

double day(int y, int m, int d)
{
    return DateTimeValue::fromDate(QDate(y, m, d));
}

void statementLine(TestStore& s, const char* family, const char* when, const char* seq, const char* kind,
                   double amount, const char* stored = "NULL", const char* consumer = "K1")
{
    s.exec(QStringLiteral("INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT,"
                          " IDTPMOVEXT, VRMOVEXTCONS, VRSALDCONEXT) VALUES ('C1', '%1', '%2', '%3', '%4', '%5', %6, %7)")
               .arg(QString::fromLatin1(consumer), QString::fromLatin1(family), QString::fromLatin1(when),
                    QString::fromLatin1(seq), QString::fromLatin1(kind))
               .arg(amount)
               .arg(QString::fromLatin1(stored)));
}
} // namespace

class TestBalances : public QObject
{
    Q_OBJECT
private slots:
    void consumerWithoutBalancesGetsEveryFamilyWithNulls()
    {
        ModuleFixture f;
        f.seedBranch(3);
        const DataPacket saldo = packetOf(getSaldoCons(QStringLiteral("0001"), QStringLiteral("C1"), QStringLiteral("K1")));
        QCOMPARE(saldo.fields().size(), 4);
        QCOMPARE(saldo.fields()[0].name, QStringLiteral("NRBUTTON"));
        QCOMPARE(saldo.fields()[3].type, FieldType::Float);
        QCOMPARE(saldo.rows().size(), 3);
        for (const QVariantList& r : saldo.rows()) {
            QCOMPARE(r[0].toString(), QStringLiteral("   "));
            QVERIFY(!r[3].isValid());
        }
        QCOMPARE(saldo.rows()[1][1].toString(), QStringLiteral("002"));
        QCOMPARE(saldo.rows()[1][2].toString(), QStringLiteral("Família 2"));

        const DataPacket total = packetOf(getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1")));
        QCOMPARE(total.rows().size(), 1);
        QCOMPARE(total.fields()[0].name, QStringLiteral("VRSALDCONFAM"));
        QVERIFY(total.fields()[0].readOnly);
        QVERIFY(!total.rows()[0][0].isValid());
    }

    void twoConsumersInARowGetTheirOwnBalances()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '001', 10.5)"));
        f.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K2', '002', 7.25)"));
        f.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K2', '001', 1)"));
        const DataPacket k1 = packetOf(getSaldoCons(QStringLiteral("0001"), QStringLiteral("C1"), QStringLiteral("K1")));
        const DataPacket k2 = packetOf(getSaldoCons(QStringLiteral("0001"), QStringLiteral("C1"), QStringLiteral("K2")));
        QCOMPARE(k1.rows()[0][3].toDouble(), 10.5);
        QVERIFY(!k1.rows()[1][3].isValid());
        QCOMPARE(k2.rows()[0][3].toDouble(), 1.0);
        QCOMPARE(k2.rows()[1][3].toDouble(), 7.25);
        QCOMPARE(packetOf(getTotSalCons(QStringLiteral("C1"), QStringLiteral("K2"))).rows()[0][0].toDouble(), 8.25);
        QCOMPARE(packetOf(getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1"))).rows()[0][0].toDouble(), 10.5);
    }

    void emptyPacketsKeepTheirStructure()
    {
        ModuleFixture f;
        f.seedBranch(1);
        const DataPacket none = packetOf(getSaldoCons(QStringLiteral("0009"), QStringLiteral("C1"), QStringLiteral("K1")));
        QCOMPARE(none.fields().size(), 4);
        QVERIFY(none.rows().isEmpty());
        const DataPacket port = packetOf(getBuscaPorta(QStringLiteral("0001"), QStringLiteral("001")));
        QCOMPARE(port.rows().size(), 1);
        QCOMPARE(port.rows()[0][0].toString(), QStringLiteral("COM7"));
        const DataPacket noTill = packetOf(getBuscaPorta(QStringLiteral("0001"), QStringLiteral("999")));
        QCOMPARE(noTill.fields().size(), 1);
        QCOMPARE(noTill.fields()[0].name, QStringLiteral("CDPORTAIMPNF"));
        QVERIFY(noTill.rows().isEmpty());
    }

    void unreachableDatabaseGivesTheFailureText()
    {
        ModuleFixture f;
        f.dm().adcRecSaldo->close();
        for (const QVariant& r : {getSaldoCons(QStringLiteral("0001"), QStringLiteral("C1"), QStringLiteral("K1")),
                                  getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1")),
                                  getBuscaPorta(QStringLiteral("0001"), QStringLiteral("001"))}) {
            QCOMPARE(r.metaType().id(), int(QMetaType::QString));
            QVERIFY2(r.toString().contains(QStringLiteral("not connected")), qPrintable(r.toString()));
        }
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
        QVERIFY(getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1")).toString().contains(QStringLiteral("not created")));
        rdmRecSaldo = new TrdmRecSaldo(nullptr); // the fixture frees one
    }

    void evolutionWalksFromTheStartDate()
    {
        ModuleFixture f;
        f.seedBranch(2);
        // Family 001: an old line with its running balance, then lines whose balances are stale.
        statementLine(*f.store, "001", "2026-01-10 10:00:00.000", "001", "C", 100, "100");
        statementLine(*f.store, "001", "2026-06-01 09:00:00.000", "001", "D", 30);
        statementLine(*f.store, "001", "2026-06-01 09:00:00.000", "002", "C", 12.5, "999");
        statementLine(*f.store, "001", "2026-07-01 12:00:00.000", "001", "C", 0.1);
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day(2026, 5, 1));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE DTMOVEXTCONS > '2026-07-01'")).toDouble(), 82.6);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE NRSEQMOVEXT = '002'")).toDouble(), 82.5);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '001'")).toDouble(), 82.6);
        // A family the consumer never used gets no balance row.
        QCOMPARE(f.store->count(QStringLiteral("FROM SALDOCONS WHERE CDFAMILISALD = '002'")), 0);
        // Lines before the start date are not rewritten.
        statementLine(*f.store, "001", "2026-01-11 10:00:00.000", "001", "C", 5, "1");
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day(2026, 5, 1));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE DTMOVEXTCONS = '2026-01-11 10:00:00.000'")).toDouble(), 1.0);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '001'")).toDouble(), -16.4);
    }

    void threeFamiliesInOrderAndAFailureStopsAtTheSecond()
    {
        ModuleFixture f;
        f.seedBranch(3);
        for (const char* fam : {"003", "001", "002"})
            statementLine(*f.store, fam, "2026-06-01 09:00:00.000", "001", "C", 10);
        StoreTriggers::logBalanceWrites(*f.store);
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day(2026, 1, 1));
        QCOMPARE(f.store->count(QStringLiteral("FROM EVOLUTION_LOG")), 3);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT CDFAMILISALD FROM EVOLUTION_LOG WHERE N = (SELECT MIN(N) FROM EVOLUTION_LOG)")).toString(), QStringLiteral("001"));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT CDFAMILISALD FROM EVOLUTION_LOG WHERE N = (SELECT MAX(N) FROM EVOLUTION_LOG)")).toString(), QStringLiteral("003"));

        f.store->exec(QStringLiteral("DELETE FROM SALDOCONS"));
        f.store->exec(QStringLiteral("DELETE FROM EVOLUTION_LOG"));
        StoreTriggers::failBalanceWriteOf(*f.store, "002");
        try {
            EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day(2026, 1, 1));
            QFAIL("the failure did not reach the caller");
        } catch (const SqlError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("family 002 refused")), qPrintable(e.message()));
        }
        QCOMPARE(f.store->count(QStringLiteral("FROM SALDOCONS WHERE CDFAMILISALD = '001'")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM SALDOCONS WHERE CDFAMILISALD IN ('002', '003')")), 0);
    }

    void branchWithoutFamiliesRunsNothing()
    {
        ModuleFixture f;
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0009"), day(2026, 1, 1));
        QCOMPARE(f.store->count(QStringLiteral("FROM SALDOCONS")), 0);
    }

    void anyKindButOracleRunsTheSqlServerComponent()
    {
        ModuleFixture f;
        f.seedBranch(1);
        statementLine(*f.store, "001", "2026-06-01 09:00:00.000", "001", "C", 4);
        // On this engine the "@" names reach the same procedure under their placeholder names.
        Srv_registro::setUsedDatabaseOverride(QStringLiteral("oracle"));
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day(2026, 1, 1));
        Srv_registro::setUsedDatabaseOverride(QString(), false);
        QVERIFY(!f.dm().ads_Atualiza_Saldo_Cons_Fkb_MSSQL->paramByName(QStringLiteral("@P_CDFAMILISALD")).isNull());
        QVERIFY(f.dm().ads_Atualiza_Saldo_Cons_Fkb_SQLITE->paramByName(QStringLiteral("P_CDFAMILISALD")).isNull());
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 4.0);
    }
};

QTEST_GUILESS_MAIN(TestBalances)
#include "tst_balances.moc"
