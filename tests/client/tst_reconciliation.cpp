// A till's day reconciled: the store's card credits against the card transactions the terminal
// confirmed, each kind of disagreement found, a forged statement line among them.
#include "Clock.h"
#include "DailyReconciliation.h"
#include "DateTimeValue.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "PurchaseJournal.h"
#include "StandInTransactions.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Srv_kvb52814;

namespace
{
const QDate day(2026, 12, 8);
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
} // namespace

class TestReconciliation : public QObject
{
    Q_OBJECT
    ManualClock m_clock{QDateTime(day, QTime(9, 0))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    // Two purchases (N1 40,00 and N2 25,00, family 001), recorded, confirmed and journalled;
    // then one thing changes on one side.
    void findsWhatDisagrees_data()
    {
        QTest::addColumn<QString>("change");
        QTest::addColumn<QStringList>("found");
        QTest::newRow("all agree") << QString() << QStringList();
        QTest::newRow("reversed credit, card undone") << QStringLiteral("reverse N2") << QStringList();
        QTest::newRow("card undone, credit kept")
            << QStringLiteral("undo N2") << QStringList{QStringLiteral("credit-without-payment")};
        QTest::newRow("card paid, no credit")
            << QStringLiteral("pay N3") << QStringList{QStringLiteral("payment-without-credit")};
        QTest::newRow("paid another amount")
            << QStringLiteral("amount N1") << QStringList{QStringLiteral("amount-mismatch")};
        QTest::newRow("chose another family")
            << QStringLiteral("family N1") << QStringList{QStringLiteral("family-mismatch")};
        QTest::newRow("forged statement line")
            << QStringLiteral("forge") << QStringList{QStringLiteral("line-without-movement")};
        QTest::newRow("forged line on a paid movement")
            << QStringLiteral("forge on N1") << QStringList{QStringLiteral("credit-without-payment")};
    }
    void findsWhatDisagrees()
    {
        QFETCH(QString, change);
        QFETCH(QStringList, found);
        ModuleFixture f;
        f.seedBranch(2);
        QTemporaryDir dir;
        QList<StandInTransactions::Transaction> card;
        QList<JournalEntry> journal;
        for (const auto& [nsu, amount] :
             {std::pair{QStringLiteral("N1"), 40.0}, std::pair{QStringLiteral("N2"), 25.0}}) {
            m_clock.advanceMs(60000);
            DataPacket packet = Packets::movement({amount}, DateTimeValue::now());
            packet.rows()[0][packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = nsu;
            const QVariant r =
                setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"),
                                 QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("001"), QString(),
                                 QString(), QString(), QString(), turn, DateTimeValue::fromDate(day));
            QVERIFY2(!r.isValid(), qPrintable(r.toString()));
            const bool undone = change == QLatin1String("undo ") + nsu || change == QLatin1String("reverse ") + nsu;
            card << StandInTransactions::Transaction{nsu,
                                                     undone ? TerminalState::Undone : TerminalState::Confirmed,
                                                     change == QLatin1String("amount ") + nsu ? amount + 1 : amount,
                                                     {},
                                                     {},
                                                     {},
                                                     Clock::instance().now(),
                                                     {}};
            JournalEntry e{{}, undone ? PurchaseState::Undone : PurchaseState::Confirmed, {}, Clock::instance().now()};
            e.purchase.nsu = nsu;
            e.purchase.CDFILIAL = QStringLiteral("0001");
            e.purchase.CDCAIXA = QStringLiteral("001");
            e.purchase.CDFAMILISALD =
                change == QLatin1String("family ") + nsu ? QStringLiteral("002") : QStringLiteral("001");
            journal << e;
        }
        if (change == QLatin1String("reverse N2")) {
            m_clock.advanceMs(60000);
            const QVariant r = setEstornaCompCred(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("N2"),
                                                  DateTimeValue::fromDate(day));
            QVERIFY2(!r.isValid(), qPrintable(r.toString()));
        }
        if (change == QLatin1String("pay N3"))
            card << StandInTransactions::Transaction{
                QStringLiteral("N3"), TerminalState::Confirmed, 10.0, {}, {}, {}, QDateTime(day, QTime(11, 0)), {}};
        if (change.startsWith(QLatin1String("forge"))) // by hand with a kiosk's rights: a movement made up, or N1's
            f.store->exec(
                QStringLiteral("INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
                               "NRSEQMOVEXT, IDTPMOVEXT, VRMOVEXTCONS, CDFILIAL, CDCAIXA, DTABERCAIX, "
                               "NRSEQMOVCAIXA) SELECT 'C1', 'K1', '001', '2026-12-08 12:00:00.000', '001', 'C', "
                               "5000, '0001', '001', DTABERCAIX, %1 FROM TURCAIXA")
                    .arg(change.endsWith(QLatin1String("N1"))
                             ? QStringLiteral("(SELECT NRSEQUMOVI FROM MOVCAIXA WHERE CDNSUHOSTTEF = 'N1')")
                             : QStringLiteral("'0000009999'")));
        const QString terminalFile = dir.filePath(QStringLiteral("terminal-transactions.db"));
        StandInTransactions(TerminalSettings(), terminalFile).importTransactions(card);
        const QString journalFile = dir.filePath(QStringLiteral("purchase-journal.db"));
        PurchaseJournal(journalFile).importEntries(journal);

        const DailyReconciliation::Report report = DailyReconciliation::run(
            f.store->connection(), QStringLiteral("0001"), QStringLiteral("001"), day, terminalFile, journalFile);
        QStringList kinds;
        for (const DailyReconciliation::Finding& finding : report.findings)
            kinds << DailyReconciliation::kindName(finding.kind);
        QVERIFY2(kinds == found, qPrintable(report.text()));
        QCOMPARE(report.agrees(), found.isEmpty());
        QCOMPARE(report.json().contains("\"agree\":true"), found.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestReconciliation)
#include "tst_reconciliation.moc"
