// Reversing the balance credit of a card transaction that was never paid: one debit line of
// the credit's amount and family with its cash movement, in one transaction, the balances
// evolved back to what they were; a second reversal, or one that finds no such credit, writes
// nothing, also when several technicians reverse the same credit at the same moment.
#include "Clock.h"
#include "DateTimeValue.h"
#include "ModuleFixture.h"
#include "Packets.h"

#include <QProcess>
#include <QScopeGuard>
#include <QtTest>

using namespace Srv_kvb52814;

namespace
{
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const QDate firstDay(2026, 12, 8);
const double firstDate = DateTimeValue::fromDate(firstDay);

// Records a credit of `amount` in `family` for consumer K1, paid with card transaction `nsu` at `at`.
void credit(ManualClock& clock, const QString& nsu, double amount, const QString& family, const QDateTime& at)
{
    clock.set(at.addSecs(1));
    DataPacket packet = Packets::movement({amount}, DateTimeValue::fromDateTime(at));
    packet.rows()[0][packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = nsu;
    const QVariant r =
        setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("C1"),
                         QStringLiteral("K1"), family, at.toString(QStringLiteral("yyMMddHHmm")), QString(), QString(),
                         QString(), turn, DateTimeValue::fromDate(at.date()));
    QVERIFY2(!r.isValid(), qPrintable(r.toString()));
}

double balance(TestStore& s, const char* family)
{
    return s
        .scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDCLIENTE = 'C1' AND CDCONSUMIDOR = 'K1' "
                               "AND CDFAMILISALD = '%1'")
                    .arg(QLatin1String(family)))
        .toDouble();
}

double sumOfLines(TestStore& s, const char* family)
{
    return s
        .scalar(QStringLiteral("SELECT SUM(CASE IDTPMOVEXT WHEN 'C' THEN VRMOVEXTCONS ELSE -VRMOVEXTCONS END) "
                               "FROM EXTRATOCONS WHERE CDCLIENTE = 'C1' AND CDCONSUMIDOR = 'K1' "
                               "AND CDFAMILISALD = '%1'")
                    .arg(QLatin1String(family)))
        .toDouble();
}

// Everything a reversal could write, and the balances it could change.
QString storeState(TestStore& s)
{
    return QStringLiteral("%1 movements, %2 lines, balances %3 / %4")
        .arg(s.count(QStringLiteral("FROM MOVCAIXA")))
        .arg(s.count(QStringLiteral("FROM EXTRATOCONS")))
        .arg(balance(s, "001"))
        .arg(balance(s, "002"));
}
} // namespace

class TestReversal : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(firstDay, QTime(9, 0))};

    // NSU 5 credited 100.00 in family 001 and NSU 7 25.50 in family 001 on the first day; NSU 7
    // again the next day, another card transaction, 7.00 in family 002.
    void seedCredits()
    {
        credit(m_clock, QStringLiteral("NSU5"), 100.0, QStringLiteral("001"), QDateTime(firstDay, QTime(9, 0)));
        credit(m_clock, QStringLiteral("NSU7"), 25.5, QStringLiteral("001"), QDateTime(firstDay, QTime(10, 0)));
        credit(m_clock, QStringLiteral("NSU7"), 7.0, QStringLiteral("002"),
               QDateTime(firstDay.addDays(1), QTime(10, 0)));
        m_clock.set(QDateTime(firstDay.addDays(2), QTime(12, 0))); // the technician reverses days later
    }

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    void aCreditWithoutPaymentIsReversedOnce()
    {
        ModuleFixture f;
        f.seedBranch(2);
        seedCredits();
        TestStore& s = *f.store;
        QCOMPARE(balance(s, "001"), 125.5);

        const QVariant r =
            setEstornaCompCred(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("NSU7"), firstDate);
        QVERIFY2(!r.isValid(), qPrintable(r.toString()));
        QCOMPARE(balance(s, "001"), 100.0);
        QCOMPARE(sumOfLines(s, "001"), 100.0);
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRSALDCONEXT FROM EXTRATOCONS WHERE IDTPMOVEXT = 'D'")).toDouble(),
                 100.0);
        QCOMPARE(balance(s, "002"), 7.0); // the same NSU of another day is left alone

        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA WHERE IDTIPOMOVIVE = 'S'")), 1);
        QCOMPARE(s.scalar(QStringLiteral("SELECT CDNSUHOSTTEF || '|' || CDTIPORECE || '|' || NRSEQUMOVI FROM MOVCAIXA "
                                         "WHERE IDTIPOMOVIVE = 'S'"))
                     .toString(),
                 QStringLiteral("NSU7|010|0000000004"));
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRMOVIVEND FROM MOVCAIXA WHERE IDTIPOMOVIVE = 'S'")).toDouble(), 25.5);
        QCOMPARE(s.scalar(QStringLiteral("SELECT CDFAMILISALD || '|' || DSOPEEXTCONS || '|' || NRSEQMOVCAIXA FROM "
                                         "EXTRATOCONS WHERE IDTPMOVEXT = 'D'"))
                     .toString(),
                 QStringLiteral("001|ZEL - Estorno Caixa 001|0000000004"));
        QCOMPARE(s.scalar(QStringLiteral("SELECT VRMOVEXTCONS FROM EXTRATOCONS WHERE IDTPMOVEXT = 'D'")).toDouble(),
                 25.5);

        // The look-up names the reversal; the other day's credit stays open.
        DataPacket credits = PacketVariant::packet(
            getCompCredNsu(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("NSU7")));
        QCOMPARE(credits.rows().size(), 2);
        const int reversal = credits.fieldIndex(QStringLiteral("NRSEQUMOVIESTORNO"));
        QCOMPARE(credits.rows()[0][reversal].toString(), QStringLiteral("0000000004"));
        QVERIFY(!credits.rows()[1][reversal].isValid());

        const QString before = storeState(s);
        const QVariant again =
            setEstornaCompCred(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("NSU7"), firstDate);
        QVERIFY2(again.toString().contains(QLatin1String("already reversed")), qPrintable(again.toString()));
        QCOMPARE(storeState(s), before);
    }

    void aReversalWithoutItsCreditWritesNothing_data()
    {
        QTest::addColumn<QString>("till");
        QTest::addColumn<QString>("nsu");
        QTest::addColumn<double>("date");
        QTest::addColumn<QString>("says");
        QTest::newRow("unknown NSU") << "001"
                                     << "NSU9" << firstDate << "no balance credit";
        QTest::newRow("NSU of another day") << "001"
                                            << "NSU5" << firstDate + 1 << "no balance credit";
        QTest::newRow("another till") << "002"
                                      << "NSU7" << firstDate << "no balance credit";
        QTest::newRow("no NSU") << "001"
                                << "" << firstDate << "no NSU";
        QTest::newRow("NSU too long") << "001" << QString(51, QLatin1Char('7')) << firstDate << "CDNSUHOSTTEF";
    }

    void aReversalWithoutItsCreditWritesNothing()
    {
        QFETCH(QString, till);
        QFETCH(QString, nsu);
        QFETCH(double, date);
        QFETCH(QString, says);
        ModuleFixture f;
        f.seedBranch(2);
        seedCredits();
        const QString before = storeState(*f.store);
        const QVariant r = setEstornaCompCred(QStringLiteral("0001"), till, nsu, date);
        QVERIFY2(r.toString().contains(says), qPrintable(r.toString()));
        QCOMPARE(storeState(*f.store), before);
    }

    // Technicians at several terminals reverse the same credit at once: one reversal is written.
    void reversalsAtTheSameMomentWriteOne()
    {
        ModuleFixture f;
        f.seedBranch(2);
        seedCredits();
        delete Srv_kvb52814::rdmRecSaldo; // the store belongs to the processes from here on
        Srv_kvb52814::rdmRecSaldo = nullptr;
        f.store->connection().close();
        QTemporaryDir dir;
        Packets::parameters(dir.path()).saveFile(dir.filePath(QStringLiteral("PARAMETROSZEL.CDS")));

        QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
        env.insert(QStringLiteral("KIOSK_DB"), f.store->connectionString());
        std::vector<std::unique_ptr<QProcess>> procs;
        for (int i = 0; i < 4; ++i) {
            auto p = std::make_unique<QProcess>();
            p->setProcessEnvironment(env);
            p->start(QStringLiteral(KIOSKCTL_PATH),
                     {QStringLiteral("recover"), QStringLiteral("--reverse"), QStringLiteral("NSU7"),
                      QStringLiteral("--date"), firstDay.toString(Qt::ISODate), dir.path()});
            procs.push_back(std::move(p));
        }
        int reversed = 0;
        QStringList outputs;
        for (auto& p : procs) {
            QVERIFY(p->waitForFinished(60000));
            const QString out = QString::fromUtf8(p->readAllStandardOutput()).trimmed();
            outputs << out + QStringLiteral(" [") + QString::fromUtf8(p->readAllStandardError()).trimmed() +
                           QLatin1Char(']');
            QCOMPARE(p->exitStatus(), QProcess::NormalExit);
            if (p->exitCode() == 0) {
                ++reversed;
                QVERIFY2(out.startsWith(QLatin1String("reversed: credit of NSU NSU7 of 2026-12-08 on till 001: "
                                                      "consumer K1 (client C1), family 001, amount 25.50")),
                         qPrintable(outputs.last()));
            } else {
                QVERIFY2(out.startsWith(QLatin1String("not reversed:")), qPrintable(outputs.last()));
            }
        }
        QVERIFY2(reversed == 1, qPrintable(outputs.join(QLatin1String(" | "))));
        TestStore& s = *f.store;
        s.connection().open();
        QCOMPARE(s.count(QStringLiteral("FROM MOVCAIXA WHERE IDTIPOMOVIVE = 'S'")), 1);
        QCOMPARE(s.count(QStringLiteral("FROM EXTRATOCONS WHERE IDTPMOVEXT = 'D'")), 1);
        QCOMPARE(balance(s, "001"), 100.0);
        QCOMPARE(sumOfLines(s, "001"), 100.0);
    }
};

QTEST_GUILESS_MAIN(TestReversal)
#include "tst_reversal.moc"
