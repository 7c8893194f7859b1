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
#include "StandInTerminal.h"
#include "StoreLedger.h"
#include "Wst00001.h"

#include "Clock.h"
#include "ExclusiveLock.h"
#include "LocalDatabase.h"

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

// The stand-in terminal with a pause point around its pending list: what another process
// does while a settler asks for it runs there, once, before or after the list is taken.
class PausingTerminal : public StandInTerminal
{
public:
    using StandInTerminal::StandInTerminal;
    std::function<void()> meanwhile;
    bool afterList = false;
    QList<PendingTransaction> pending() override
    {
        if (meanwhile && !afterList)
            std::exchange(meanwhile, {})();
        const QList<PendingTransaction> list = StandInTerminal::pending();
        if (meanwhile)
            std::exchange(meanwhile, {})();
        return list;
    }
};

TerminalRequest sale(double amount)
{
    TerminalRequest request;
    request.amount = *Money::fromUnits(amount);
    request.date = QStringLiteral("20261208");
    request.time = QStringLiteral("100000");
    request.function = 3; // a credit card sale
    return request;
}

// The stand-in on `file` for its transactions.
TerminalSettings transactionsIn(const QString& file)
{
    TerminalSettings settings;
    settings.transactionsFile = file;
    return settings;
}

QString authorise(PaymentTerminal& terminal, double amount)
{
    return terminal.authorise(sale(amount)).nsu;
}

// An order of till 0001/001 as the kiosk journals it before asking the terminal: an id, no NSU.
PurchaseRecord orderOf(double amount)
{
    PurchaseRecord order = purchase(QString(), amount);
    order.id = PurchaseRecord::newId();
    return order;
}

// A store of one branch, a journal and a clock at 10:00 of 8 December, for one test.
struct Scene {
    Scene() : clock(QDateTime(QDate(2026, 12, 8), QTime(10, 0))), journal(dir.filePath(QStringLiteral("journal.db")))
    {
        Clock::setInstance(&clock);
        f.seedBranch(1);
    }
    ~Scene() { Clock::setInstance(nullptr); }
    PurchaseSettlement settler(PaymentTerminal& terminal, PurchaseJournal* other = nullptr)
    {
        PurchaseSettlement settler(other ? *other : journal, ledger, terminal, [](int) {});
        settler.setKioskTill(QStringLiteral("0001"), QStringLiteral("001"));
        return settler;
    }
    ManualClock clock;
    ModuleFixture f;
    QTemporaryDir dir;
    PurchaseJournal journal;
    StoreLedger ledger;
};

QString outcomeOf(const QList<PurchaseSettlement::Result>& results, const QString& nsu)
{
    const auto r = std::find_if(results.cbegin(), results.cend(), [&](const auto& x) { return x.nsu == nsu; });
    return r == results.cend() ? QString() : PurchaseSettlement::outcomeName(r->outcome);
}

int staleBalances()
{
    return int(PacketVariant::packet(Srv_kvb52814::getSaldosDesatualizados()).rows().size());
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
        auto terminal = std::make_shared<StandInTerminal>(QDir(dir.path()));
        Wst00001::setPaymentTerminal(terminal);
        const QString journalFile = dir.filePath(QStringLiteral("purchase-journal.jsonl"));
        PurchaseJournal journal(journalFile);

        // killed after approval: nothing in the store yet
        const PurchaseRecord a = purchase(terminal->authorise(sale(25)).nsu, 25);
        journal.write(a, PurchaseState::Authorised);
        // killed after the recording committed, before the journal said so
        const PurchaseRecord b = purchase(terminal->authorise(sale(10)).nsu, 10);
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

    // A settler (a starting kiosk, recover) runs while a kiosk orders and gets its approval,
    // paused around the terminal's pending list; the kiosk then journals the approval,
    // records and settles. Alive, its charge is never undone under it; dead, it is undone.
    void aSettlerNeverUndoesAPurchaseBeingMade_data()
    {
        QTest::addColumn<bool>("beforeList"); // order and approval before the terminal lists (else just after)
        QTest::addColumn<bool>("kioskAlive"); // it holds its purchase's lock (else it died after the approval)
        QTest::newRow("approved before the list, kiosk alive") << true << true;
        QTest::newRow("approved after the list, kiosk alive") << false << true;
        QTest::newRow("approved before the list, kiosk died") << true << false;
    }
    void aSettlerNeverUndoesAPurchaseBeingMade()
    {
        QFETCH(bool, beforeList);
        QFETCH(bool, kioskAlive);
        Scene s;
        PausingTerminal terminal(QDir(s.dir.path()), transactionsIn(s.dir.filePath(QStringLiteral("tx.db"))));
        const PurchaseRecord order = orderOf(25);
        ExclusiveLock kiosk(s.journal.lockFile(order));
        PurchaseRecord paid;
        terminal.afterList = !beforeList;
        terminal.meanwhile = [&] {
            QVERIFY(kiosk.tryLock());
            s.journal.write(order, PurchaseState::Ordered);
            paid = purchase(authorise(terminal, 25), 25, DateTimeValue::fromDateTime(s.clock.now()));
            paid.id = order.id;
            if (!kioskAlive)
                kiosk.unlock();
        };
        s.settler(terminal).settleAll();
        if (kioskAlive) { // it goes on: the approval journalled, the recording, its settlement
            s.journal.write(paid, PurchaseState::Authorised);
            QCOMPARE(s.ledger.record(paid), QString());
            const auto r = s.settler(terminal).settle({paid, PurchaseState::Authorised, QString(), {}});
            QCOMPARE(PurchaseSettlement::outcomeName(r.outcome), QStringLiteral("confirmed"));
        }
        QCOMPARE(terminal.status(paid.nsu), kioskAlive ? TerminalState::Confirmed : TerminalState::Undone);
        QCOMPARE(s.f.store->count(QStringLiteral("FROM MOVCAIXA")), kioskAlive ? 1 : 0);
    }

    // The terminal's files were lost and its NSUs started again: a kiosk killed between the
    // approval and its journal line leaves a charge whose NSU the store holds for a credit
    // of 10,00 made at 10:00. Another amount, or the same half an hour later, is not it.
    void aReusedNsuIsNotTakenForAnotherPurchase_data()
    {
        QTest::addColumn<double>("amount");
        QTest::addColumn<bool>("journalKept"); // the earlier purchase is in the journal's archive
        QTest::newRow("another amount") << 43.21 << true;
        QTest::newRow("another amount, journal lost") << 43.21 << false;
        QTest::newRow("same amount, later") << 10.0 << true;
        QTest::newRow("same amount, later, journal lost") << 10.0 << false;
    }
    void aReusedNsuIsNotTakenForAnotherPurchase()
    {
        QFETCH(double, amount);
        QFETCH(bool, journalKept);
        Scene s;
        const QString txFile = s.dir.filePath(QStringLiteral("tx.db"));
        std::optional<StandInTerminal> terminal(std::in_place, QDir(s.dir.path()), transactionsIn(txFile));
        const PurchaseRecord earlier =
            purchase(authorise(*terminal, 10), 10, DateTimeValue::fromDateTime(s.clock.now()));
        QCOMPARE(s.ledger.record(earlier), QString());
        terminal->confirm(earlier.nsu);
        terminal.reset();
        if (journalKept)
            s.journal.write(earlier, PurchaseState::Confirmed);
        for (const QString& name : QDir(s.dir.path()).entryList({QStringLiteral("tx.db*")}, QDir::Files))
            QVERIFY(QFile::remove(s.dir.filePath(name))); // the terminal's files are lost
        s.clock.advanceMs(30 * 60 * 1000);
        terminal.emplace(QDir(s.dir.path()), transactionsIn(txFile));
        s.journal.write(orderOf(amount), PurchaseState::Ordered); // then approved, then killed
        const QString nsu = authorise(*terminal, amount);
        QCOMPARE(nsu, earlier.nsu);
        s.settler(*terminal).settleAll();
        QCOMPARE(terminal->status(nsu), TerminalState::Undone);
        QCOMPARE(s.f.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
    }

    // An NSU the terminal does not know, a balance a crash left behind its lines, a journal that
    // cannot be read: each ends in one settlement, and every balance agrees with its lines after.
    void whatNoPlainSettlementFinishes_data()
    {
        QTest::addColumn<QString>("journalDamage"); // "", "garbage", "cut", "wrong schema"
        QTest::addColumn<bool>("terminalKnows");
        QTest::addColumn<bool>("inStore");
        QTest::addColumn<bool>("balanceBehind"); // the recording's balance evolution never ran
        QTest::addColumn<QString>("outcome");
        QTest::newRow("unknown NSU, not in the store") << "" << false << false << false << "not charged";
        QTest::newRow("unknown NSU, in the store") << "" << false << true << false << "CREDIT WITHOUT PAYMENT";
        QTest::newRow("balance behind its lines") << "" << true << true << true << "confirmed";
        QTest::newRow("garbage journal, in the store") << "garbage" << true << true << false << "confirmed";
        QTest::newRow("cut journal, not in the store") << "cut" << true << false << false << "undone";
        QTest::newRow("journal of another shape") << "wrong schema" << true << true << false << "confirmed";
    }
    void whatNoPlainSettlementFinishes()
    {
        QFETCH(QString, journalDamage);
        QFETCH(bool, terminalKnows);
        QFETCH(bool, inStore);
        QFETCH(bool, balanceBehind);
        QFETCH(QString, outcome);
        Scene s;
        const QString file = s.dir.filePath(QStringLiteral("purchase-journal.db"));
        StandInTerminal terminal(QDir(s.dir.path()), transactionsIn(s.dir.filePath(QStringLiteral("tx.db"))));
        const QString nsu = terminalKnows ? authorise(terminal, 25) : QStringLiteral("000000009999");
        const PurchaseRecord p = purchase(nsu, 25, DateTimeValue::fromDateTime(s.clock.now()));
        if (inStore)
            QCOMPARE(s.ledger.record(p), QString());
        if (balanceBehind) {
            s.f.store->exec(QStringLiteral("DELETE FROM SALDOCONS"));
            QCOMPARE(staleBalances(), 1); // what `kioskctl status` reports
        }
        PurchaseJournal(file).write(p, PurchaseState::Authorised); // closed: its log folded into the file
        QFile db(file);
        if (journalDamage == QLatin1String("garbage"))
            QVERIFY(db.open(QIODevice::ReadWrite) && db.write(QByteArray(4096, 'x')) == 4096);
        else if (journalDamage == QLatin1String("cut"))
            QVERIFY(db.resize(db.size() / 3));
        db.close();
        if (journalDamage == QLatin1String("wrong schema")) {
            QVERIFY(db.remove());
            LocalDatabase(file, QStringLiteral("CREATE TABLE open_purchase (id, body)"));
        }
        PurchaseJournal journal(file);
        QCOMPARE(journal.setAsideFile().isEmpty(), journalDamage.isEmpty());
        QCOMPARE(PurchaseJournal::setAsideFiles(file).size(), journalDamage.isEmpty() ? 0 : 1);
        QCOMPARE(outcomeOf(s.settler(terminal, &journal).settleAll(), nsu), outcome);
        QCOMPARE(s.f.store->count(QStringLiteral("FROM MOVCAIXA")), inStore ? 1 : 0);
        QCOMPARE(staleBalances(), 0);
    }
};

QTEST_GUILESS_MAIN(TestStoreLedger)
#include "tst_storeledger.moc"
