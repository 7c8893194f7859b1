// The journal's settlement against a real store: the look-up by NSU, the store
// refusing a second movement with the same NSU on a till and day while taking it on
// another day, and a journal left by a killed kiosk settled with exactly one
// recording and the terminal confirmed.
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "PurchaseRecovery.h"
#include "SimulatedTerminal.h"
#include "StoreLedger.h"
#include "Wst00001.h"

#include "Clock.h"

#include <QScopeGuard>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const double day = DateTimeValue::fromDate(QDate(2026, 12, 8));

PurchaseRecord purchase(const QString& nsu, double amount, double when = day + 0.4)
{
    PurchaseRecord p;
    p.nsu = nsu;
    p.CDFILIAL = QStringLiteral("0001");
    p.CDCAIXA = QStringLiteral("001");
    p.CDCLIENTE = QStringLiteral("C1");
    p.CDCONSUMIDOR = QStringLiteral("K1");
    p.CDFAMILISALD = QStringLiteral("001");
    p.NRDEPOSICONS = QStringLiteral("2612081015");
    p.DTABERCAIX = turn;
    p.DTMOVIDOCNFIS = day;
    p.packet = Packets::movement({amount}, when);
    p.packet.rows()[0][p.packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = nsu;
    return p;
}
} // namespace

class TestStoreLedger : public QObject
{
    Q_OBJECT
private slots:
    void lookupAndNoSecondMovementForAnNsu()
    {
        // Each recording at its own statement time: two of one consumer and family in the
        // same millisecond share a statement line key on the embedded store.
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        ModuleFixture f;
        f.seedBranch(1);
        StoreLedger ledger;
        QVERIFY(!ledger.hasMovement(QStringLiteral("000000000007"), QStringLiteral("0001"), QStringLiteral("001")));
        QCOMPARE(ledger.record(purchase(QStringLiteral("000000000007"), 25)), QString());
        clock.advanceMs(1000);
        QVERIFY(ledger.hasMovement(QStringLiteral("000000000007"), QStringLiteral("0001"), QStringLiteral("001")));
        QVERIFY(!ledger.hasMovement(QStringLiteral("000000000007"), QStringLiteral("0001"), QStringLiteral("002")));

        const QString again = ledger.record(purchase(QStringLiteral("000000000007"), 25));
        clock.advanceMs(1000);
        QVERIFY2(!again.isEmpty(), "the same NSU was recorded twice on a till");
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 1);

        // Movements without an NSU (cash, cheques) are not held to it.
        PurchaseRecord cash = purchase(QString(), 3);
        cash.packet.rows()[0][cash.packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = QString();
        QCOMPARE(ledger.record(cash), QString());
        clock.advanceMs(1000);
        QCOMPARE(ledger.record(cash), QString());
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 3);
    }

    // Networks number NSUs per day: NSU 7 was recorded on 8 December at 10:00 for 25.00;
    // each row is another card transaction with that NSU, or the same one again.
    void anNsuRepeatedOnAnotherDayIsAnotherPurchase_data()
    {
        QTest::addColumn<QDateTime>("at");
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("recorded"); // the store takes it
        QTest::addColumn<bool>("held");     // the ledger says the store holds this purchase
        const QDate first(2026, 12, 8);
        QTest::newRow("the same purchase again") << QDateTime(first, QTime(10, 0)) << 25.0 << false << true;
        QTest::newRow("same day, later") << QDateTime(first, QTime(15, 30)) << 25.0 << false << false;
        QTest::newRow("same day, other amount") << QDateTime(first, QTime(10, 0)) << 30.0 << false << false;
        QTest::newRow("next day, same amount") << QDateTime(first.addDays(1), QTime(10, 0)) << 25.0 << true << true;
        QTest::newRow("weeks later") << QDateTime(QDate(2027, 1, 5), QTime(9, 0)) << 40.0 << true << true;
    }

    void anNsuRepeatedOnAnotherDayIsAnotherPurchase()
    {
        QFETCH(QDateTime, at);
        QFETCH(double, amount);
        QFETCH(bool, recorded);
        QFETCH(bool, held);
        const QString nsu = QStringLiteral("000000000007");
        const QString branch = QStringLiteral("0001"), till = QStringLiteral("001");
        const QDateTime firstAt(QDate(2026, 12, 8), QTime(10, 0));
        ManualClock clock(firstAt);
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        ModuleFixture f;
        f.seedBranch(1);
        StoreLedger ledger;
        const PurchaseRecord earlier = purchase(nsu, 25, DateTimeValue::fromDateTime(firstAt));
        QCOMPARE(ledger.record(earlier), QString());

        clock.set(at.addSecs(1)); // its own statement time
        const PurchaseRecord candidate = purchase(nsu, amount, DateTimeValue::fromDateTime(at));
        const double candidateDay = DateTimeValue::fromDate(at.date());
        const bool sameDay = at.date() == firstAt.date();
        QCOMPARE(ledger.hasMovement(nsu, branch, till, candidateDay), sameDay);
        QCOMPARE(ledger.holds(candidate), sameDay && held);

        const QString result = ledger.record(candidate);
        QCOMPARE(result.isEmpty(), recorded);
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), recorded ? 2 : 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), recorded ? 2 : 1);
        QCOMPARE(ledger.holds(candidate), held);
        QVERIFY(ledger.holds(earlier)); // never mistaken for the later one, nor the reverse
        QVERIFY(ledger.hasMovement(nsu, branch, till, candidateDay));
        QVERIFY(ledger.hasMovement(nsu, branch, till));
        QVERIFY(!ledger.hasMovement(nsu, branch, QStringLiteral("002"), candidateDay));
    }

    void killedKioskJournalIsSettledOnce()
    {
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(10, 0)));
        Clock::setInstance(&clock);
        const auto restore = qScopeGuard([] { Clock::setInstance(nullptr); });
        ModuleFixture f;
        f.seedBranch(1);
        QTemporaryDir dir;
        auto terminal = std::make_shared<SimulatedTerminal>(TerminalSettings(),
                                                            dir.filePath(QStringLiteral("tx.jsonl")), [](int) {});
        Wst00001::setPaymentTerminal(terminal);
        TerminalRequest request;
        const QString journalFile = dir.filePath(QStringLiteral("purchase-journal.jsonl"));
        PurchaseJournal journal(journalFile);

        request.amount = 25; // killed after approval: nothing in the store yet
        const PurchaseRecord a = purchase(terminal->authorise(request).nsu, 25);
        journal.write(a, PurchaseState::Authorised);
        request.amount = 10; // killed after the recording committed, before the journal said so
        const PurchaseRecord b = purchase(terminal->authorise(request).nsu, 10);
        journal.write(b, PurchaseState::Authorised);
        QCOMPARE(StoreLedger().record(b), QString());
        clock.advanceMs(1000); // the settlement records `a` a moment later

        const auto results = PurchaseRecovery::settleJournal(journalFile);
        QCOMPARE(results.size(), 2);
        for (const auto& r : results)
            QCOMPARE(r.outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(terminal->status(a.nsu), TerminalState::Confirmed);
        QCOMPARE(terminal->status(b.nsu), TerminalState::Confirmed);
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 2);
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS WHERE CDFAMILISALD = '001'")), 2);
        QVERIFY(PurchaseRecovery::settleJournal(journalFile).isEmpty()); // a second run finds nothing to do
        Wst00001::setPaymentTerminal(nullptr);
    }
};

QTEST_GUILESS_MAIN(TestStoreLedger)
#include "tst_storeledger.moc"
