// What the store cannot hold is refused before anything is written, with the same outcome on
// the embedded and the server engine: amounts, texts, counters at their end.
#include "Clock.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "TdtmZelProxCodigo.h"

#include <QtTest>
#include <cmath>
#include <limits>

using namespace Srv_kvb52814;

namespace
{
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const double purchaseTime = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));

struct Call {
    QString branch = QStringLiteral("0001");
    QString till = QStringLiteral("001");
    QString consumer = QStringLiteral("K1");
    QString family = QStringLiteral("002");
    QString coo = QStringLiteral("000123");
};

QVariant record(const DataPacket& packet, const Call& c = Call())
{
    return setGravaCompCred(PacketVariant::of(packet), c.branch, c.till, QStringLiteral("C1"), c.consumer, c.family,
                            QStringLiteral("2612081015"), c.coo, QStringLiteral("000045"), QStringLiteral("BE0912"),
                            turn, DateTimeValue::dateOnly(purchaseTime));
}

// Nothing of the recording reached the store: no row and no reserved number.
void verifyNothingWritten(TestStore& s)
{
    QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA")), 0);
    QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS")), 0);
    QCOMPARE(s.count(QStringLiteral("FROM DOCNFISCECF")), 0);
    QCOMPARE(s.count(QStringLiteral("FROM NOVOCODIGO")), 0);
}

bool refusedByStore(TestStore& s, const QString& sql)
{
    try {
        s.exec(sql);
        return false;
    } catch (const SqlError&) {
        return true;
    }
}
} // namespace

class TestStoreLimits : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16, 0))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        TdtmZelProxCodigo::releasePooledConnections();
    }

    void amountsBeyondTheColumnsAreRefusedUpFront_data()
    {
        QTest::addColumn<QString>("field");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("1e17") << "VRMOVIVEND" << 1e17 << "beyond what the store holds";
        QTest::newRow("1e13") << "VRMOVIVEND" << 1e13 << "beyond what the store holds";
        QTest::newRow("rounds up to 1e13") << "VRMOVIVEND" << 9999999999999.996 << "beyond what the store holds";
        QTest::newRow("negative") << "VRMOVIVEND" << -2e13 << "beyond what the store holds";
        QTest::newRow("infinite") << "VRMOVIVEND" << std::numeric_limits<double>::infinity() << "not a finite";
        QTest::newRow("not a number") << "VRMOVIVEND" << std::numeric_limits<double>::quiet_NaN() << "not a finite";
        QTest::newRow("change amount") << "VRMOVIVEOUT" << 5e13 << "VRMOVIVEOUT";
        QTest::newRow("quotation") << "VRCOTINDOUT" << 2e9 << "VRCOTINDOUT";
    }
    void amountsBeyondTheColumnsAreRefusedUpFront()
    {
        QFETCH(QString, field);
        QFETCH(double, amount);
        QFETCH(QString, mentions);
        ModuleFixture f;
        f.seedBranch(2);
        DataPacket p = Packets::movement({10.0, 20.0}, purchaseTime);
        p.rows()[1][p.fieldIndex(field)] = amount; // the second row: the first must not be written either
        const QString result = record(p).toString();
        QVERIFY2(result.contains(mentions) && result.contains(QStringLiteral("row 2")), qPrintable(result));
        verifyNothingWritten(*f.store);
        QVERIFY(!f.dm().adcRecSaldo->inTransaction());
    }

    void theLargestAmountFitsAndCashAmountsAreKeptInCents()
    {
        ModuleFixture f;
        f.seedBranch(2);
        TestStore& s = *f.store;
        Call largest;
        largest.family = QStringLiteral("001");
        QVariant result = record(Packets::movement({9999999999999.99}, purchaseTime), largest);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        DataPacket p = Packets::movement({10.005}, purchaseTime);
        p.rows()[0][p.fieldIndex(QStringLiteral("VRMOVIVEOUT"))] = 0.125;
        m_clock.advanceMs(1000);
        result = record(p);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        // Cents on both engines: the server's NUMERIC(15,2) rounds, the embedded store gets rounded values.
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRMOVIVEND FROM MOVCAIXA WHERE VRMOVIVEND < 100")).toDouble(), 10.01);
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRMOVIVEOUT FROM MOVCAIXA WHERE VRMOVIVEND < 100")).toDouble(), 0.13);
        QCOMPARE(s.scalar(QStringLiteral("SELECT MAX(VRMOVIVEND) FROM MOVCAIXA")).toDouble(), 9999999999999.99);
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '001'")).toDouble(),
                 9999999999999.99);

        // One more cent would take the balance past NUMERIC(15,2): both engines refuse to store it
        // and the balance stays what it was.
        m_clock.advanceMs(1000);
        result = record(Packets::movement({0.01}, purchaseTime), largest);
        QVERIFY(result.metaType().id() == QMetaType::QString && !result.toString().isEmpty());
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '001'")).toDouble(),
                 9999999999999.99);
    }

    void textsLongerThanTheirColumnsAreRefusedUpFront_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("300-character family") << "family"
                                              << "CDFAMILISALD has 300 characters";
        QTest::newRow("5-character branch") << "branch"
                                            << "CDFILIAL has 5 characters";
        QTest::newRow("11-character coupon number") << "coo"
                                                    << "NRCOODOCNFIS has 11 characters";
        QTest::newRow("card number in the row") << "card"
                                                << "row 1, NRCARTBANCO has 21 characters";
    }
    void textsLongerThanTheirColumnsAreRefusedUpFront()
    {
        QFETCH(QString, what);
        QFETCH(QString, mentions);
        ModuleFixture f;
        f.seedBranch(2);
        Call c;
        DataPacket p = Packets::movement({10.0}, purchaseTime);
        const QString card = QStringLiteral("123456789012345678901");
        if (what == QLatin1String("family"))
            c.family = QString(300, QLatin1Char('7'));
        else if (what == QLatin1String("branch"))
            c.branch = QStringLiteral("00001");
        else if (what == QLatin1String("coo"))
            c.coo = QStringLiteral("12345678901");
        else
            p.rows()[0][p.fieldIndex(QStringLiteral("NRCARTBANCO"))] = card;
        const QString result = record(p, c).toString();
        QVERIFY2(result.contains(mentions), qPrintable(result));
        QVERIFY2(!result.contains(card), "the failure text quotes a card number");
        verifyNothingWritten(*f.store);
    }

    void theSchemaRefusesWhatItCannotHoldOnEveryEngine()
    {
        // The last guard, for writers other than the recording: the same refusals on both engines.
        ModuleFixture f;
        TestStore& s = *f.store;
        QVERIFY(refusedByStore(s, QStringLiteral("INSERT INTO FAMSALDOFILI VALUES ('00001', '001')")));
        QVERIFY(refusedByStore(
            s, QStringLiteral("INSERT INTO FAMILIASALDO VALUES ('%1', 'x')").arg(QString(300, QLatin1Char('7')))));
        QVERIFY(refusedByStore(s, QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '001', 10000000000000)")));
        QVERIFY(
            !refusedByStore(s, QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '001', 9999999999999.99)")));
        QVERIFY(!refusedByStore(s, QStringLiteral("INSERT INTO FAMILIASALDO VALUES ('001', 'x')")));
        QVERIFY(!refusedByStore(s, QStringLiteral("INSERT INTO FAMSALDOFILI VALUES ('0001', '001')")));
        QCOMPARE(s.count(QStringLiteral("FROM FAMSALDOFILI")), 1);
    }

    void aCounterAtItsEndRefusesToIssueMore()
    {
        ModuleFixture f;
        TestStore& s = *f.store;
        TdtmZelProxCodigo generator(f.dm().adcRecSaldo);
        s.exec(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('DOCNFISCECFFULL', '9999999999')"));
        s.exec(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('DOCNFISCECFNEAR', '9999999998')"));
        QVERIFY_THROWS_EXCEPTION(KioskError, generator.PrxDocNFiscEcf(QStringLiteral("FULL")));
        QVERIFY_THROWS_EXCEPTION(KioskError, generator.reserve(QStringLiteral("DOCNFISCECFNEAR"), 2));
        QCOMPARE(generator.PrxDocNFiscEcf(QStringLiteral("NEAR")), QStringLiteral("9999999999"));
        QVERIFY_THROWS_EXCEPTION(KioskError, generator.PrxDocNFiscEcf(QStringLiteral("NEAR")));
        // Neither counter wrapped or went backwards.
        QCOMPARE(s.count(QStringLiteral("FROM NOVOCODIGO WHERE NRSEQUENCIAL = '9999999999'")), 2);

        // A recording whose movement counter is full writes nothing and says why.
        f.seedBranch(2);
        s.exec(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('MOVCAIXA0001.001.20261201060000', '9999999999')"));
        const QString result = record(Packets::movement({10.0}, purchaseTime)).toString();
        QVERIFY2(result.contains(QStringLiteral("cannot issue 1 more")), qPrintable(result));
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA")), 0);
        QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS")), 0);
    }
};

QTEST_GUILESS_MAIN(TestStoreLimits)
#include "tst_storelimits.moc"
