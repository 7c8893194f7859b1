// Credit purchase recording and the day's first-coupon counter.
#include "ClientDataSet.h"
#include "Clock.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "StoreTriggers.h"
#include "Wst00001.h"

#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>

using namespace Srv_kvb52814;

namespace
{
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const double fiscalDay = DateTimeValue::fromDate(QDate(2026, 12, 8));
const double purchaseTime = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));

QVariant record(const DataPacket& packet, const QString& client = QStringLiteral("C1"),
                const QString& coo = QStringLiteral("000123"))
{
    return setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"), client,
                            QStringLiteral("K1"), QStringLiteral("002"), QStringLiteral("2612081015"), coo,
                            QStringLiteral("000045"), QStringLiteral("BE0912"), turn, fiscalDay);
}

QString text(TestStore& s, const QString& sql)
{
    return s.scalar(sql).toString();
}
} // namespace

class TestRecording : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16, 0, 250))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    void oneRowWithCouponWritesTheThreeRecords()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '002', 5)"));
        const QVariant result = record(Packets::movement({25.5}, purchaseTime));
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));

        TestStore& s = *f.store;
        QCOMPARE(s.count(QStringLiteral("FROM DOCNFISCECF")), 1);
        QCOMPARE(text(s, QStringLiteral("SELECT IDTPDENOMDOCNF FROM DOCNFISCECF")), QStringLiteral("CN"));
        QCOMPARE(text(s, QStringLiteral("SELECT NRGRGDOCNFIS || '|' || NRCDCDOCNFIS || '|' || NRCOODOCNFIS || '|' || "
                                        "NRGNFDOCNFIS FROM DOCNFISCECF")),
                 QStringLiteral("||000123|000045"));
        const QString seqEcf = text(s, QStringLiteral("SELECT NRSEQECFDOCNF FROM DOCNFISCECF"));
        QCOMPARE(seqEcf, QStringLiteral("0000000001"));
        QCOMPARE(text(s, QStringLiteral("SELECT NRSEQCAIXADOCNF FROM MOVCAIXA")), seqEcf);
        QCOMPARE(text(s, QStringLiteral("SELECT NRSERCAIXADOCNF FROM MOVCAIXA")), QStringLiteral("BE0912"));
        QCOMPARE(text(s, QStringLiteral("SELECT CDCLIENTE FROM MOVCAIXA")), QStringLiteral("C1"));
        QVERIFY(s.scalar(QStringLiteral("SELECT DTDEPCHEQVEN FROM MOVCAIXA")).isNull());
        const QString movement = text(s, QStringLiteral("SELECT NRSEQUMOVI FROM MOVCAIXA"));
        QCOMPARE(movement, QStringLiteral("0000000001"));
        QCOMPARE(text(s, QStringLiteral("SELECT NRSEQMOVEXT || IDTPMOVEXT || NRSEQMOVCAIXA FROM EXTRATOCONS")),
                 QStringLiteral("001C") + movement);
        QCOMPARE(text(s, QStringLiteral("SELECT DSOPEEXTCONS FROM EXTRATOCONS")),
                 QStringLiteral("ZEL - Crédito Caixa 001"));
        QCOMPARE(text(s, QStringLiteral("SELECT NRDEPOSICONS FROM EXTRATOCONS")), QStringLiteral("2612081015"));
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRMOVEXTCONS FROM EXTRATOCONS")).toDouble(), 25.5);
        QVERIFY(
            text(s, QStringLiteral("SELECT DTMOVEXTCONS FROM EXTRATOCONS")).contains(QStringLiteral("10:16:00.25")));
        // The evolution after the commit: the only line of family 002 makes its balance.
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '002'")).toDouble(),
                 25.5);
    }

    void withoutCouponNoFiscalDocument()
    {
        ModuleFixture f;
        f.seedBranch(2); // the credit goes to family 002
        const QVariant result =
            record(Packets::movement({10}, purchaseTime), QStringLiteral("C1"), QStringLiteral("  "));
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM DOCNFISCECF")), 0);
        QCOMPARE(text(*f.store, QStringLiteral("SELECT NRSEQCAIXADOCNF FROM MOVCAIXA")), QString());
        QCOMPARE(f.store->count(QStringLiteral("FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'DOCNFISCECF%'")), 0);
    }

    void twoRowsNumberedInSequence()
    {
        ModuleFixture f;
        f.seedBranch(2); // the credit goes to family 002
        f.store->exec(
            QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('MOVCAIXA0001.001.20261201060000', '0000000040')"));
        DataPacket p = Packets::movement({1.0, 2.0}, purchaseTime);
        // A dated cheque deposit on the first row, none on the second.
        p.rows()[0][p.fieldIndex(QStringLiteral("DTDEPCHEQVEN"))] = purchaseTime;
        const QVariant result = record(p);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        TestStore& s = *f.store;
        QCOMPARE(text(s, QStringLiteral("SELECT MIN(NRSEQUMOVI) || MAX(NRSEQUMOVI) FROM MOVCAIXA")),
                 QStringLiteral("00000000410000000042"));
        QCOMPARE(text(s, QStringLiteral("SELECT MIN(NRSEQMOVEXT) || MAX(NRSEQMOVEXT) FROM EXTRATOCONS")),
                 QStringLiteral("001002"));
        QCOMPARE(s.count(QStringLiteral("FROM (SELECT DISTINCT DTMOVEXTCONS FROM EXTRATOCONS) D")), 1);
        QCOMPARE(s.count(QStringLiteral("FROM DOCNFISCECF")), 2);
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA M JOIN DOCNFISCECF D ON D.NRSEQECFDOCNF = M.NRSEQCAIXADOCNF")),
                 2);
        QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS E JOIN MOVCAIXA M ON M.NRSEQUMOVI = E.NRSEQMOVCAIXA AND "
                                        "M.VRMOVIVEND = E.VRMOVEXTCONS")),
                 2);
        // Rows are visited newest DTHRINCMOV first within one NRORDTROCO: both share it, so packet order holds.
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA WHERE DTDEPCHEQVEN IS NULL")), 1);
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA WHERE DTDEPCHEQVEN IS NULL AND VRMOVIVEND = 2")), 1);
    }

    void emptyClientFallsBackToTheSalesParametersForTheMovementOnly()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.seedConsumer(QString(), QStringLiteral("K1"));
        const QVariant result = record(Packets::movement({12.34}, purchaseTime), QString());
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        QCOMPARE(text(*f.store, QStringLiteral("SELECT CDCLIENTE FROM MOVCAIXA")), QStringLiteral("PV1"));
        QCOMPARE(text(*f.store, QStringLiteral("SELECT CDCLIENTE FROM EXTRATOCONS")), QString());
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRMOVEXTCONS FROM EXTRATOCONS")).toDouble(), 12.34);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCLIENTE = ''")).toDouble(),
                 12.34);
    }

    void emptyPacketWritesNothingButStillEvolves()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.store->exec(QStringLiteral("INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
                                     "NRSEQMOVEXT, IDTPMOVEXT, VRMOVEXTCONS, VRSALDCONEXT) VALUES "
                                     "('C1', 'K1', '001', '2024-02-01 08:00:00.000', '001', 'C', 9, 0)"));
        const QVariant result = record(Packets::movement({}, purchaseTime));
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 0);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS")).toDouble(), 9.0);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 9.0);
    }

    void duplicateKeyOnTheSecondRowRollsBackEverything()
    {
        ModuleFixture f;
        f.seedBranch(2); // the credit goes to family 002
        f.store->exec(QStringLiteral("INSERT INTO MOVCAIXA (CDFILIAL, CDCAIXA, DTABERCAIX, NRSEQUMOVI) "
                                     "VALUES ('0001', '001', '2026-12-01 06:00:00.000', '0000000002')"));
        const QVariant result = record(Packets::movement({1.0, 2.0}, purchaseTime));
        QCOMPARE(result.metaType().id(), int(QMetaType::QString));
        QVERIFY2(result.toString().contains(QStringLiteral("acmCriaMovCaixa")), qPrintable(result.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 0);
        QCOMPARE(f.store->count(QStringLiteral("FROM DOCNFISCECF")), 0);
        QVERIFY(!f.dm().adcRecSaldo->inTransaction());
        // The module recovers: the next recording gets fresh numbers and lands.
        QVERIFY(!record(Packets::movement({3.0}, purchaseTime)).isValid());
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 1);
    }

    void badPacketsAreRefusedWithNothingWritten_data()
    {
        QTest::addColumn<QString>("breakWhat");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("no NRORDTROCO") << "field"
                                       << "NRORDTROCO";
        QTest::newRow("not a packet") << "text"
                                      << "expected a data packet";
        QTest::newRow("counter holds junk") << "counter"
                                            << "not a number";
    }
    void badPacketsAreRefusedWithNothingWritten()
    {
        QFETCH(QString, breakWhat);
        QFETCH(QString, mentions);
        ModuleFixture f;
        f.seedBranch(2); // the credit goes to family 002
        QVariant argument = PacketVariant::of(Packets::movement({5.0}, purchaseTime));
        if (breakWhat == QLatin1String("field")) {
            DataPacket p(
                {Packets::field("VRMOVIVEND", FieldType::Float), Packets::field("DTHRINCMOV", FieldType::DateTime)});
            p.appendRow({5.0, purchaseTime});
            argument = PacketVariant::of(p);
        } else if (breakWhat == QLatin1String("text")) {
            argument = QStringLiteral("Falha anterior");
        } else {
            f.store->exec(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('MOVCAIXA0001.001.20261201060000', 'abc')"));
        }
        const QVariant result = setGravaCompCred(argument, QStringLiteral("0001"), QStringLiteral("001"),
                                                 QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("002"),
                                                 QString(), QStringLiteral("1"), QString(), QString(), turn, fiscalDay);
        QVERIFY2(result.toString().contains(mentions), qPrintable(result.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 0);
        QCOMPARE(f.store->count(QStringLiteral("FROM DOCNFISCECF")), 0);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 0);
    }

    void evolutionFailureAfterTheCommitKeepsTheRows()
    {
        ModuleFixture f;
        f.seedBranch(2);
        StoreTriggers::failBalanceWriteOf(*f.store, "002");
        const QVariant result = record(Packets::movement({7.0}, purchaseTime));
        QVERIFY2(result.toString().contains(QStringLiteral("family 002 refused")), qPrintable(result.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 1);
    }

    void firstCouponOfTheDay()
    {
        ModuleFixture f;
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        const double march5 = DateTimeValue::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(18, 45)));
        QCOMPARE(cupomInicialKey(QStringLiteral("0001"), QStringLiteral("001"), march5),
                 QStringLiteral("CUPINICIAL000100105/03/2024"));
        QVERIFY(!setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("123"), march5)
                     .isValid());
        QVERIFY(!setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("456"), march5)
                     .isValid());
        QCOMPARE(
            text(*f.store, QStringLiteral(
                               "SELECT NRSEQUENCIAL FROM NOVOCODIGO WHERE CDCONTADOR = 'CUPINICIAL000100105/03/2024'")),
            QStringLiteral("0000000123"));
        QVERIFY(!setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("002"), QStringLiteral("7"), march5)
                     .isValid());
        QVERIFY(!setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("8"), march5 + 1)
                     .isValid());
        QCOMPARE(f.store->count(QStringLiteral("FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'CUPINICIAL%'")), 3);

        // The key carries the date exactly as the kiosk's regional format writes it.
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        const QString us = cupomInicialKey(QStringLiteral("0001"), QStringLiteral("001"), march5);
        QCOMPARE(us, QStringLiteral("CUPINICIAL0001001") + QLocale().toString(QDate(2024, 3, 5), QLocale::ShortFormat));
        QVERIFY(us != QStringLiteral("CUPINICIAL000100105/03/2024"));
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));

        f.dm().adcRecSaldo->close();
        // The purchase flow does not look at the result: the failure is logged.
        QTest::ignoreMessage(
            QtWarningMsg, QRegularExpression(QStringLiteral(
                              "^setGravaCupomInicial failed \\(branch 0001, till 001, COO 9\\): .*adqCupomInicial")));
        QVERIFY(setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("9"), march5 + 2)
                    .toString()
                    .contains(QStringLiteral("adqCupomInicial")));
    }

    // The printer's counters file is lost or damaged between two purchases: the next coupon goes on
    // from the highest numbers the store recorded for the till, never from 000001 again, and says so.
    void couponNumbersGoOnFromTheStoreWhenTheCountersAreLost_data()
    {
        QTest::addColumn<QByteArray>("countersLeft"); // what the counters file holds; null: gone
        QTest::newRow("file lost") << QByteArray();
        QTest::newRow("file damaged") << QByteArray("{\"printers\": {\"COM1\": {\"coo\": 4");
        QTest::newRow("printer missing from the file") << QByteArray("{\"printers\": {}}");
    }
    void couponNumbersGoOnFromTheStoreWhenTheCountersAreLost()
    {
        QFETCH(QByteArray, countersLeft);
        ModuleFixture f;
        f.seedBranch(2);
        QTemporaryDir data;
        HostConfig::instance().setDataFolder(data.path());
        const QString counters = data.filePath(QStringLiteral("printer-counters.json"));
        const auto writeCounters = [&](const QByteArray& content) {
            QFile file(counters);
            QVERIFY(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
            file.write(content);
        };
        writeCounters("{\"printers\": {\"COM1\": {\"coo\": 41, \"gnf\": 7}}}");

        // A purchase: printed, then recorded with the printer's numbers.
        const auto purchase = [&](double amount) {
            ClientDataSet movement(QStringLiteral("cdsMovCaixa"));
            movement.setData(PacketVariant::of(Packets::movement({amount}, purchaseTime)));
            movement.first();
            QString coo, gnf;
            try {
                Wst00001::Compr_CredPessoal(QStringLiteral("COM1"), QStringLiteral("S"), QString(),
                                            QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("002"), coo,
                                            gnf, &movement, {}, QStringLiteral("Maria"), QStringLiteral("2612081015"),
                                            QStringLiteral("S"), QStringLiteral("N"), QStringLiteral("01"), QString(),
                                            0, QString(), QStringLiteral("Um"), QString(), QString(), QString(),
                                            QString(), QString(), true, 0, 0);
            } catch (const KioskError& e) {
                return e.message();
            }
            const QVariant recorded = setGravaCompCred(
                PacketVariant::of(Packets::movement({amount}, purchaseTime)), QStringLiteral("0001"),
                QStringLiteral("001"), QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("002"),
                QStringLiteral("2612081015"), coo, gnf, QString(), turn, fiscalDay);
            m_clock.advanceMs(1000);
            return recorded.isValid() ? recorded.toString() : coo + QLatin1Char('/') + gnf;
        };
        QCOMPARE(purchase(10), QStringLiteral("000042/000008"));

        if (countersLeft.isNull())
            QVERIFY(QFile::remove(counters));
        else
            writeCounters(countersLeft);
        QTest::ignoreMessage(QtWarningMsg, QRegularExpression(QStringLiteral(
                                               "coupon counters of printer COM1 .*continue from the "
                                               "store's highest for branch 0001, till 001 \\(COO 42, GNF 8\\)")));
        QCOMPARE(purchase(11), QStringLiteral("000043/000009"));
        // The file holds the pair again, and the next purchase goes on from it.
        QCOMPARE(purchase(12), QStringLiteral("000044/000010"));
        QCOMPARE(f.store->count(QStringLiteral("FROM DOCNFISCECF")), 3);
        QCOMPARE(f.store->count(QStringLiteral("FROM (SELECT DISTINCT NRCOODOCNFIS FROM DOCNFISCECF) D")), 3);
        HostConfig::instance().setDataFolder(QString());
    }
};

QTEST_GUILESS_MAIN(TestRecording)
#include "tst_recording.moc"
