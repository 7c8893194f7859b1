// A till's day reconciled: the store's card credits against the card transactions the terminal
// confirmed, each kind of disagreement found, a forged statement line among them.
#include "Clock.h"
#include "DailyReconciliation.h"
#include "DateTimeValue.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "PurchaseJournal.h"
#include "SimulatedTerminal.h"

#include <QTemporaryDir>
#include <QtTest>

using namespace Srv_kvb52814;

namespace
{
const QDate day(2026, 12, 8);
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));

struct Sale {
    QString nsu;
    double amount;
    QString family;
};
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
        QList<SimulatedTerminal::Transaction> card;
        QList<JournalEntry> journal;
        for (const Sale& s : {Sale{QStringLiteral("N1"), 40.0, QStringLiteral("001")},
                              Sale{QStringLiteral("N2"), 25.0, QStringLiteral("001")}}) {
            m_clock.advanceMs(60000);
            DataPacket packet = Packets::movement({s.amount}, DateTimeValue::now());
            packet.rows()[0][packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = s.nsu;
            const QVariant r =
                setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"),
                                 QStringLiteral("C1"), QStringLiteral("K1"), s.family, QStringLiteral("2612080900"),
                                 QString(), QString(), QString(), turn, DateTimeValue::fromDate(day));
            QVERIFY2(!r.isValid(), qPrintable(r.toString()));
            const bool undone = change == QLatin1String("undo ") + s.nsu || change == QLatin1String("reverse ") + s.nsu;
            SimulatedTerminal::Transaction t;
            t.nsu = s.nsu;
            t.state = undone ? TerminalState::Undone : TerminalState::Confirmed;
            t.amount = change == QLatin1String("amount ") + s.nsu ? s.amount + 1 : s.amount;
            t.changedAt = Clock::instance().now();
            card << t;
            JournalEntry e;
            e.state = undone ? PurchaseState::Undone : PurchaseState::Confirmed;
            e.at = t.changedAt;
            e.purchase.id = PurchaseRecord::newId();
            e.purchase.nsu = s.nsu;
            e.purchase.CDFILIAL = QStringLiteral("0001");
            e.purchase.CDCAIXA = QStringLiteral("001");
            e.purchase.CDFAMILISALD = change == QLatin1String("family ") + s.nsu ? QStringLiteral("002") : s.family;
            journal << e;
        }
        if (change == QLatin1String("reverse N2")) {
            m_clock.advanceMs(60000);
            const QVariant r = setEstornaCompCred(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("N2"),
                                                  DateTimeValue::fromDate(day));
            QVERIFY2(!r.isValid(), qPrintable(r.toString()));
        }
        if (change == QLatin1String("pay N3"))
            card << SimulatedTerminal::Transaction{
                QStringLiteral("N3"), TerminalState::Confirmed, 10.0, {}, {}, {}, QDateTime(day, QTime(11, 0))};
        if (change.startsWith(QLatin1String("forge"))) {
            // Written by hand with a kiosk's rights: a credit line, its movement number made up or taken.
            const QString movement =
                change.endsWith(QLatin1String("N1"))
                    ? f.store->scalar(QStringLiteral("SELECT NRSEQUMOVI FROM MOVCAIXA WHERE CDNSUHOSTTEF = 'N1'"))
                          .toString()
                    : QStringLiteral("0000009999");
            f.store->exec(
                QStringLiteral("INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, "
                               "NRSEQMOVEXT, IDTPMOVEXT, VRMOVEXTCONS, VRSALDCONEXT, CDFILIAL, CDCAIXA, "
                               "DTABERCAIX, NRSEQMOVCAIXA) VALUES ('C1', 'K1', '001', '2026-12-08 12:00:00.000', "
                               "'001', 'C', 5000, 5000, '0001', '001', '2026-12-01 06:00:00.000', '%1')")
                    .arg(movement));
        }
        const QString terminalFile = dir.filePath(QStringLiteral("terminal-transactions.db"));
        SimulatedTerminal(TerminalSettings(), terminalFile, [](int) {}).importTransactions(card);
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
