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
    QString client = QStringLiteral("C1");
    QString consumer = QStringLiteral("K1");
    QString family = QStringLiteral("002");
    QString coo = QStringLiteral("000123");
    QString deposit = QStringLiteral("2612081015");
};

QVariant record(const DataPacket& packet, const Call& c = Call())
{
    return setGravaCompCred(PacketVariant::of(packet), c.branch, c.till, c.client, c.consumer, c.family, c.deposit,
                            c.coo, QStringLiteral("000045"), QStringLiteral("BE0912"), turn,
                            DateTimeValue::dateOnly(purchaseTime));
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
        DataPacket p = Packets::movement({10.01}, purchaseTime);
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

    // A call that cannot be a credit is refused whole: the failure names the field and the value
    // (a card number masked) and nothing reaches the store. The bad value sits in the second row,
    // so the first one must not be written either.
    void whatCannotBeACreditIsRefusedAndNothingWritten_data()
    {
        QTest::addColumn<QString>("what");
        QTest::addColumn<QVariant>("value");
        QTest::addColumn<QString>("mentions");
        const QString nul(QChar(0));
        QTest::newRow("negative amount") << "VRMOVIVEND" << QVariant(-20.0)
                                         << "row 2, VRMOVIVEND of -20 is not a positive";
        QTest::newRow("zero amount") << "VRMOVIVEND" << QVariant(0.0) << "row 2, VRMOVIVEND of 0 is not a positive";
        QTest::newRow("fraction of a cent")
            << "VRMOVIVEND" << QVariant(0.004) << "row 2, VRMOVIVEND of 0.004 is not a whole number of cents";
        QTest::newRow("half a cent") << "VRMOVIVEND" << QVariant(10.005) << "VRMOVIVEND of 10.005 is not a whole";
        QTest::newRow("unknown consumer") << "consumer" << QVariant(QStringLiteral("K9"))
                                          << "CDCONSUMIDOR \"K9\" of CDCLIENTE \"C1\" is not a consumer";
        QTest::newRow("consumer of another client")
            << "client" << QVariant(QStringLiteral("C2")) << "CDCONSUMIDOR \"K1\" of CDCLIENTE \"C2\" is not";
        QTest::newRow("family the branch does not offer")
            << "family" << QVariant(QStringLiteral("999"))
            << "CDFAMILISALD \"999\" is not a balance family branch \"0001\"";
        QTest::newRow("branch without families") << "branch" << QVariant(QStringLiteral("9999"))
                                                 << "CDFAMILISALD \"002\" is not a balance family branch \"9999\"";
        QTest::newRow("NUL in the NSU") << "CDNSUHOSTTEF"
                                        << QVariant(QStringLiteral("NSU7") + nul + QStringLiteral("8"))
                                        << "row 2, CDNSUHOSTTEF \"NSU7\\08\" holds a NUL";
        QTest::newRow("NUL in a card number")
            << "NRCARTBANCO" << QVariant(QStringLiteral("4111111111") + nul + QStringLiteral("111111"))
            << "row 2, NRCARTBANCO \"4111**1111\" holds a NUL";
        QTest::newRow("NUL in the deposit")
            << "deposit" << QVariant(QStringLiteral("2612") + nul) << "NRDEPOSICONS \"2612\\0\" holds a NUL";
    }
    void whatCannotBeACreditIsRefusedAndNothingWritten()
    {
        QFETCH(QString, what);
        QFETCH(QVariant, value);
        QFETCH(QString, mentions);
        ModuleFixture f;
        f.seedBranch(2);
        Call c;
        DataPacket p = Packets::movement({10.0, 20.0}, purchaseTime);
        if (what == QLatin1String("consumer"))
            c.consumer = value.toString();
        else if (what == QLatin1String("client"))
            c.client = value.toString();
        else if (what == QLatin1String("family"))
            c.family = value.toString();
        else if (what == QLatin1String("branch"))
            c.branch = value.toString();
        else if (what == QLatin1String("deposit"))
            c.deposit = value.toString();
        else
            p.rows()[1][p.fieldIndex(what)] = value;
        const QVariant result = record(p, c);
        QVERIFY(result.metaType().id() == QMetaType::QString);
        QVERIFY2(result.toString().contains(mentions), qPrintable(result.toString()));
        QVERIFY2(!result.toString().contains(QStringLiteral("41111111")), "the failure quotes a card number");
        verifyNothingWritten(*f.store);
        QVERIFY(!f.dm().adcRecSaldo->inTransaction());
    }

    void aCardNumberIsKeptMasked_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("kept");
        QTest::newRow("whole number") << "4111111111111111"
                                      << "4111**1111";
        QTest::newRow("with blanks") << "4111 1111 1111 1111"
                                     << "4111**1111";
        QTest::newRow("masked by the terminal") << "5500**0004"
                                                << "5500**0004";
        QTest::newRow("none") << ""
                              << "";
    }
    void aCardNumberIsKeptMasked()
    {
        QFETCH(QString, card);
        QFETCH(QString, kept);
        ModuleFixture f;
        f.seedBranch(2);
        DataPacket p = Packets::movement({10.0}, purchaseTime);
        p.rows()[0][p.fieldIndex(QStringLiteral("NRCARTBANCO"))] = card;
        const QVariant result = record(p);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT NRCARTBANCO FROM MOVCAIXA")).toString(), kept);
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
