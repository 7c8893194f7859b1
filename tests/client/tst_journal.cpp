// The purchase journal and its settlement: states kept across a crash, a torn last
// line, and every way a paid purchase is brought to an end (confirmed with exactly
// one recording, or undone with none), with a fake store and the stand-in card-payment library.
#include "CancellationSlip.h"
#include "DateTimeValue.h"
#include "ExclusiveLock.h"
#include "KioskError.h"
#include "Ledger.h"
#include "Packets.h"
#include "PurchaseJournal.h"
#include "PurchaseSettlement.h"
#include "StandInTerminal.h"
#include "Wst00001.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
// A store that answers on cue: which NSUs it holds, how the next recordings end.
class FakeLedger : public Ledger
{
public:
    QStringList movements;           // "nsu/branch/till" already recorded
    QStringList recordAnswers;       // failure text per attempt ("" succeeds); empty list: succeed
    bool commitDespiteError = false; // a failing answer whose transaction did commit
    bool dropRecordings = false;     // a success answer with nothing written
    int lookupsFailing = 0;          // the next lookups throw (store unreachable)
    int recordCalls = 0;

    static QString key(const QString& nsu, const QString& branch, const QString& till)
    {
        return nsu + QLatin1Char('/') + branch + QLatin1Char('/') + till;
    }
    bool hasMovement(const QString& nsu, const QString& branch, const QString& till) override
    {
        if (lookupsFailing > 0) {
            --lookupsFailing;
            throw SqlError(QStringLiteral("adqMovCaixaNsu"), QStringLiteral("could not connect to server"));
        }
        return movements.contains(key(nsu, branch, till));
    }
    bool holdsCharge(const QString& branch, const QString& till, const PendingTransaction& charge) override
    {
        return hasMovement(charge.nsu, branch, till);
    }
    QString record(const PurchaseRecord& p) override
    {
        ++recordCalls;
        const QString answer = recordAnswers.isEmpty() ? QString() : recordAnswers.takeFirst();
        if ((answer.isEmpty() && !dropRecordings) || commitDespiteError)
            movements.append(key(p.nsu, p.CDFILIAL, p.CDCAIXA));
        return answer;
    }
};

// Wraps the stand-in terminal so a test can make confirm or undo fail.
class FlakyTerminal : public PaymentTerminal
{
public:
    explicit FlakyTerminal(StandInTerminal& t) : real(t) {}
    StandInTerminal& real;
    int confirmsFailing = 0;
    int undosFailing = 0;
    TerminalAnswer authorise(const TerminalRequest& r) override { return real.authorise(r); }
    void confirm(const QString& nsu) override
    {
        if (confirmsFailing > 0 && confirmsFailing--)
            throw TerminalError(QStringLiteral("terminal offline"));
        real.confirm(nsu);
    }
    void undo(const QString& nsu) override
    {
        if (undosFailing > 0 && undosFailing--)
            throw TerminalError(QStringLiteral("terminal offline"));
        real.undo(nsu);
    }
    std::optional<TerminalState> status(const QString& nsu) override { return real.status(nsu); }
    QList<PendingTransaction> pending() override { return real.pending(); }
};
// The printer behind the cancellation slip: what it printed, or the error it fails with.
QStringList slipsPrinted;
QString slipPrinterError;
void fakeSlipPrinter(const QString& port, const CancellationSlip& slip)
{
    if (!slipPrinterError.isEmpty())
        throw KioskError(slipPrinterError);
    slipsPrinted << port + QLatin1Char('\n') + slip.text();
}
} // namespace

class TestJournal : public QObject
{
    Q_OBJECT
    std::unique_ptr<QTemporaryDir> m_dir;
    std::unique_ptr<StandInTerminal> m_sim;
    std::unique_ptr<FlakyTerminal> m_terminal;
    FakeLedger m_ledger;
    QList<int> m_waits;
    QList<int> m_progress;

    QString journalFile() const { return m_dir->filePath(QStringLiteral("purchase-journal.db")); }
    // What the journal's files hold on disk (the database and its write-ahead log).
    QByteArray journalBytes() const
    {
        QByteArray all;
        for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
            QFile f(journalFile() + suffix);
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll();
        }
        return all;
    }
    // A line of the JSON-lines journal an earlier version wrote.
    static QByteArray legacyLine(const PurchaseRecord& p, const char* state)
    {
        QJsonObject o{{"v", 1}, {"state", state}, {"at", "2026-12-08T10:15:00.000"}, {"note", ""}};
        o.insert("nsu", p.nsu);
        o.insert("CDFILIAL", p.CDFILIAL);
        o.insert("CDCAIXA", p.CDCAIXA);
        o.insert("CDCLIENTE", p.CDCLIENTE);
        o.insert("CDCONSUMIDOR", p.CDCONSUMIDOR);
        o.insert("CDFAMILISALD", p.CDFAMILISALD);
        o.insert("DTABERCAIX", DateTimeValue::toIsoText(p.DTABERCAIX));
        o.insert("DTMOVIDOCNFIS", DateTimeValue::toIsoText(p.DTMOVIDOCNFIS));
        o.insert("packet", QJsonDocument::fromJson(p.packet.toJson()).object());
        return QJsonDocument(o).toJson(QJsonDocument::Compact) + '\n';
    }

    static TerminalRequest sale(double amount)
    {
        TerminalRequest r;
        r.amount = *Money::fromUnits(amount);
        r.date = QStringLiteral("20261208");
        r.time = QStringLiteral("101500");
        r.function = 3; // a credit card sale
        return r;
    }

    // A purchase the terminal approved: pending there, authorised in the journal.
    PurchaseRecord approvedPurchase(double amount = 25, bool journalled = true)
    {
        const TerminalAnswer a = m_sim->authorise(sale(amount));
        PurchaseRecord p;
        p.nsu = a.nsu;
        p.CDFILIAL = QStringLiteral("0001");
        p.CDCAIXA = QStringLiteral("002");
        p.CDCLIENTE = QStringLiteral("1234");
        p.CDCONSUMIDOR = QStringLiteral("C1");
        p.CDFAMILISALD = QStringLiteral("001");
        p.NRDEPOSICONS = QStringLiteral("2612081015");
        p.NRCOODOCNFIS = QStringLiteral("000007");
        p.NRGNFDOCNFIS = QStringLiteral("000007");
        p.DTABERCAIX = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
        p.DTMOVIDOCNFIS = DateTimeValue::fromDate(QDate(2026, 12, 8));
        p.packet =
            Packets::movement({amount}, DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15))));
        p.packet.rows()[0][p.packet.fieldIndex(QStringLiteral("NRCARTBANCO"))] = QStringLiteral("4111111111111111");
        p.packet.rows()[0][p.packet.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = a.nsu;
        if (journalled)
            PurchaseJournal(journalFile()).write(p, PurchaseState::Authorised);
        return p;
    }

    PurchaseSettlement settlement(PurchaseJournal& journal)
    {
        PurchaseSettlement s(journal, m_ledger, *m_terminal, [this](int ms) { m_waits.append(ms); });
        s.setProgress([this](int attempt, int) { m_progress.append(attempt); });
        return s;
    }

    // The invariant every test ends with: each approved transaction confirmed with
    // exactly one recording, or undone with none; the journal agrees.
    void checkSettled(const PurchaseRecord& p, bool expectConfirmed)
    {
        const bool inStore = m_ledger.movements.count(FakeLedger::key(p.nsu, p.CDFILIAL, p.CDCAIXA)) == 1;
        const auto journal = PurchaseJournal(journalFile()).find(p.nsu, p.CDFILIAL, p.CDCAIXA);
        QVERIFY(journal);
        if (expectConfirmed) {
            QVERIFY(inStore);
            QCOMPARE(m_sim->status(p.nsu), TerminalState::Confirmed);
            QCOMPARE(journal->state, PurchaseState::Confirmed);
        } else {
            QVERIFY(!m_ledger.movements.join(QLatin1Char(',')).contains(p.nsu));
            QCOMPARE(m_sim->status(p.nsu), TerminalState::Undone);
            QCOMPARE(journal->state, PurchaseState::Undone);
        }
    }

private slots:
    void init()
    {
        m_dir = std::make_unique<QTemporaryDir>();
        m_sim = std::make_unique<StandInTerminal>(QDir(m_dir->path()));
        m_terminal = std::make_unique<FlakyTerminal>(*m_sim);
        m_ledger = FakeLedger();
        m_waits.clear();
        m_progress.clear();
    }

    void journalKeepsEverythingTheRecordingNeeds()
    {
        const PurchaseRecord p = approvedPurchase(25);
        PurchaseJournal journal(journalFile());
        journal.write(p, PurchaseState::Recorded);
        const auto entries = PurchaseJournal(journalFile()).entries(); // as read after a restart
        QCOMPARE(entries.size(), 1);
        const JournalEntry& e = entries.first();
        QCOMPARE(e.state, PurchaseState::Recorded);
        QCOMPARE(e.purchase.nsu, p.nsu);
        QCOMPARE(e.purchase.CDCLIENTE, p.CDCLIENTE);
        QCOMPARE(e.purchase.NRCOODOCNFIS, p.NRCOODOCNFIS);
        QCOMPARE(e.purchase.DTABERCAIX, p.DTABERCAIX);
        QCOMPARE(e.purchase.DTMOVIDOCNFIS, p.DTMOVIDOCNFIS);
        QCOMPARE(e.purchase.amount(), Money::fromCents(2500));
        QCOMPARE(e.purchase.packet.rows().size(), 1);
        QCOMPARE(e.purchase.packet.fields(), p.packet.fields());
        // The card number is masked on the way in, whatever the caller passed.
        const QByteArray content = journalBytes();
        QVERIFY(!content.contains("4111111111111111"));
        QVERIFY(content.contains("4111**1111"));
        QVERIFY(PurchaseJournal(journalFile()).unfinished().size() == 1);
        QVERIFY_THROWS_EXCEPTION(KioskError, journal.write(PurchaseRecord(), PurchaseState::Authorised));
    }

    // A journal of JSON lines from the version before: taken over at the first opening, its
    // open purchases open and settled as any other, a torn last line skipped, the old file
    // kept aside, and nothing taken over twice.
    void aJournalOfTheEarlierVersionIsTakenOver()
    {
        PurchaseRecord a = approvedPurchase(10, false);
        PurchaseRecord b = approvedPurchase(20, false);
        PurchaseRecord c = approvedPurchase(30, false);
        const QString legacy = m_dir->filePath(QStringLiteral("purchase-journal.jsonl"));
        {
            QFile f(legacy);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write(legacyLine(a, "authorised") + legacyLine(b, "authorised") + legacyLine(c, "authorised") +
                    legacyLine(a, "recorded") + legacyLine(c, "recorded") + legacyLine(c, "confirmed"));
            f.write("{\"v\":1,\"state\":\"recorded\",\"nsu\":\"" + b.nsu.toLatin1() + "\",\"CDFIL"); // cut short
        }
        m_sim->confirm(c.nsu);
        m_ledger.movements << FakeLedger::key(a.nsu, a.CDFILIAL, a.CDCAIXA)
                           << FakeLedger::key(c.nsu, c.CDFILIAL, c.CDCAIXA);
        {
            PurchaseJournal journal(journalFile());
            QCOMPARE(journal.skippedLines(), 1);
            QCOMPARE(journal.unfinished().size(), 2);
            QCOMPARE(journal.find(a.nsu, a.CDFILIAL, a.CDCAIXA)->state, PurchaseState::Recorded);
            QCOMPARE(journal.find(b.nsu, b.CDFILIAL, b.CDCAIXA)->state, PurchaseState::Authorised);
            QCOMPARE(journal.find(c.nsu, c.CDFILIAL, c.CDCAIXA)->state, PurchaseState::Confirmed);
            QVERIFY(!QFile::exists(legacy));
            QVERIFY(QFile::exists(legacy + QStringLiteral(".taken-over")));
        }
        QFile::copy(legacy + QStringLiteral(".taken-over"), legacy); // an interrupted take-over runs again
        PurchaseJournal journal(journalFile());
        QCOMPARE(journal.entries().size(), 3);
        auto s = settlement(journal);
        s.settleAll();
        checkSettled(a, true);
        checkSettled(b, true);
        checkSettled(c, true);
        QCOMPARE(m_ledger.recordCalls, 1); // b only
    }

    // The terminal approved, but the journal never heard of it: the kiosk was killed before
    // the approval's line, or the journal was lost. Every settlement starts from the
    // terminal's pending list too, and the store decides: held -> confirm, not -> undo.
    void aChargeTheJournalNeverHeardOfIsSettled_data()
    {
        QTest::addColumn<bool>("orderJournalled");
        QTest::addColumn<bool>("inStore");
        QTest::addColumn<QString>("terminalState");
        QTest::newRow("killed between the approval and its journal line") << true << false << "undone";
        QTest::newRow("journal lost, purchase not recorded") << false << false << "undone";
        QTest::newRow("journal lost, purchase recorded") << false << true << "confirmed";
    }
    void aChargeTheJournalNeverHeardOfIsSettled()
    {
        QFETCH(bool, orderJournalled);
        QFETCH(bool, inStore);
        QFETCH(QString, terminalState);
        PurchaseRecord order;
        order.id = PurchaseRecord::newId();
        order.CDFILIAL = QStringLiteral("0001");
        order.CDCAIXA = QStringLiteral("002");
        order.packet = Packets::movement({}, 0);
        if (orderJournalled)
            PurchaseJournal(journalFile()).write(order, PurchaseState::Ordered);
        const QString nsu = m_sim->authorise(sale(25)).nsu; // approved; then the kiosk died or the journal was lost
        if (inStore)
            m_ledger.movements << FakeLedger::key(nsu, QStringLiteral("0001"), QStringLiteral("002"));

        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        s.setKioskTill(QStringLiteral("0001"), QStringLiteral("002"));
        const auto results = s.settleAll();
        QCOMPARE(terminalStateName(*m_sim->status(nsu)), terminalState);
        QCOMPARE(m_ledger.recordCalls, 0); // nothing to record from: the store alone decides
        QVERIFY(m_sim->pending().isEmpty());
        QVERIFY(journal.unfinished().isEmpty());
        for (const auto& result : results)
            QVERIFY2(!PurchaseSettlement::leavesWork(result.outcome), qPrintable(result.nsu + ' ' + result.text));
    }

    // One settler per purchase: while a kiosk runs a purchase (it holds the purchase's lock
    // from its order on), a starting kiosk or `recover` leaves it alone, the pending charge
    // of an order awaiting its approval included; once the lock is free, it is settled.
    void aPurchaseAnotherSettlerHoldsIsLeftAlone_data()
    {
        QTest::addColumn<bool>("approvalJournalled");
        QTest::newRow("recording under way") << true;
        QTest::newRow("order waiting for its approval") << false;
    }
    void aPurchaseAnotherSettlerHoldsIsLeftAlone()
    {
        QFETCH(bool, approvalJournalled);
        PurchaseRecord p = approvedPurchase(25, false);
        p.id = PurchaseRecord::newId();
        PurchaseJournal journal(journalFile());
        PurchaseRecord order = p;
        if (!approvalJournalled)
            order.nsu.clear();
        journal.write(order, approvalJournalled ? PurchaseState::Authorised : PurchaseState::Ordered);
        ExclusiveLock kiosk(journal.lockFile(order)); // the kiosk running the purchase
        QVERIFY(kiosk.tryLock());
        m_ledger.recordAnswers = QStringList(4, QStringLiteral("store busy"));

        auto s = settlement(journal);
        s.setKioskTill(p.CDFILIAL, p.CDCAIXA);
        const auto busy = s.settleAll();
        QVERIFY(!busy.isEmpty());
        for (const auto& r : busy)
            QCOMPARE(r.outcome, PurchaseSettlement::Outcome::InProgress);
        QCOMPARE(m_ledger.recordCalls, 0);
        QCOMPARE(m_sim->status(p.nsu), TerminalState::Pending);

        kiosk.unlock(); // the kiosk died: the next settlement finishes it
        m_ledger.recordAnswers.clear();
        s.settleAll();
        QVERIFY(m_sim->status(p.nsu) != TerminalState::Pending);
        QVERIFY(journal.unfinished().isEmpty());
    }

    // The store holds a credit whose card transaction the terminal cancelled: reported (NSU,
    // consumer, family, amount, the command that reverses it) on every settlement, never
    // "confirmation pending" forever, never reversed by itself.
    void aCreditWithoutPaymentIsReported_data()
    {
        QTest::addColumn<int>("state");
        QTest::newRow("recorded in the journal") << int(PurchaseState::Recorded);
        QTest::newRow("authorised in the journal") << int(PurchaseState::Authorised);
    }
    void aCreditWithoutPaymentIsReported()
    {
        QFETCH(int, state);
        const PurchaseRecord p = approvedPurchase(25);
        PurchaseJournal journal(journalFile());
        journal.write(p, PurchaseState(state));
        m_ledger.movements << FakeLedger::key(p.nsu, p.CDFILIAL, p.CDCAIXA);
        m_sim->undo(p.nsu); // a rescue elsewhere undid it
        for (int run = 0; run < 2; ++run) {
            auto s = settlement(journal);
            const auto result = s.settleAll().first();
            QCOMPARE(result.outcome, PurchaseSettlement::Outcome::CreditWithoutPayment);
            QVERIFY(PurchaseSettlement::leavesWork(result.outcome));
            for (const QString& part : {p.nsu, p.CDCONSUMIDOR, p.CDFAMILISALD, QStringLiteral("25.00"),
                                        QStringLiteral("kioskctl recover --reverse")})
                QVERIFY2(result.text.contains(part), qPrintable(result.text));
        }
        QCOMPARE(m_ledger.recordCalls, 0);
    }

    // Kiosk killed after approval: on restart, recorded once from the journal, then confirmed.
    void crashAfterApprovalRecordsOnceThenConfirms()
    {
        const PurchaseRecord p = approvedPurchase();
        PurchaseJournal journal(journalFile()); // the restarted kiosk
        auto s = settlement(journal);
        const auto results = s.settleAll();
        QCOMPARE(results.size(), 1);
        QCOMPARE(results.first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_ledger.recordCalls, 1);
        checkSettled(p, true);
        QVERIFY(s.settleAll().isEmpty()); // nothing left; nothing recorded twice
        QCOMPARE(m_ledger.recordCalls, 1);
    }

    // Kiosk killed after the recording committed but before the journal said so.
    void alreadyInLedgerIsOnlyConfirmed()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.movements.append(FakeLedger::key(p.nsu, p.CDFILIAL, p.CDCAIXA));
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_ledger.recordCalls, 0);
        checkSettled(p, true);
    }

    void recordedEntryIsConfirmedWhenTheTerminalComesBack()
    {
        const PurchaseRecord p = approvedPurchase();
        PurchaseJournal journal(journalFile());
        m_terminal->confirmsFailing = 1;
        auto s = settlement(journal);
        const auto first = s.settle(journal.unfinished().first());
        QCOMPARE(first.outcome, PurchaseSettlement::Outcome::ConfirmLater);
        QCOMPARE(journal.find(p.nsu, p.CDFILIAL, p.CDCAIXA)->state, PurchaseState::Recorded);
        QCOMPARE(m_sim->status(p.nsu), TerminalState::Pending);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_ledger.recordCalls, 1);
        checkSettled(p, true);
    }

    void recordingRetriedThenSucceeds()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.recordAnswers = {QStringLiteral("could not connect"), QStringLiteral("could not connect"), QString()};
        m_ledger.lookupsFailing = 1; // the store is down at first, even for the lookup
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_waits, QList<int>({1000, 2000, 4000}));
        QCOMPARE(m_progress, QList<int>({2, 3, 4}));
        QCOMPARE(m_ledger.recordCalls, 3);
        checkSettled(p, true);
    }

    // The store said "failed" but had committed: looked up before writing again, never recorded twice.
    void lostAnswerIsNotRecordedTwice()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.recordAnswers = {QStringLiteral("connection reset")};
        m_ledger.commitDespiteError = true;
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_ledger.recordCalls, 1);
        checkSettled(p, true);
    }

    void cannotBeRecordedIsUndone()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.recordAnswers = QStringList(4, QStringLiteral("UNIQUE constraint failed: EXTRATOCONS"));
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        const auto result = s.settleAll().first();
        QCOMPARE(result.outcome, PurchaseSettlement::Outcome::Undone);
        QVERIFY(result.text.contains(QStringLiteral("UNIQUE")));
        QCOMPARE(m_ledger.recordCalls, 4);
        checkSettled(p, false);
        QVERIFY(journal.find(p.nsu, p.CDFILIAL, p.CDCAIXA)->note.contains(QStringLiteral("UNIQUE")));
    }

    // A purchase undone in a later settlement (a kiosk start, `kioskctl recover`) after its
    // receipt was printed: the consumer's receipt is void, and the same printer says so.
    void anUndoAfterThePrintedReceiptPrintsACancellationSlip_data()
    {
        QTest::addColumn<QString>("receiptPort");
        QTest::addColumn<QString>("printerError");
        QTest::addColumn<bool>("printed");
        QTest::addColumn<bool>("reported");
        QTest::newRow("receipt printed") << "COM1"
                                         << "" << true << false;
        QTest::newRow("printer down at the settlement") << "COM1"
                                                        << "Impressora sem papel" << false << true;
        QTest::newRow("no receipt printed") << ""
                                            << "" << false << false;
    }
    void anUndoAfterThePrintedReceiptPrintsACancellationSlip()
    {
        QFETCH(QString, receiptPort);
        QFETCH(QString, printerError);
        QFETCH(bool, printed);
        QFETCH(bool, reported);
        slipsPrinted.clear();
        slipPrinterError = printerError;
        Wst00001::printCancellationSlip = fakeSlipPrinter;
        PurchaseRecord p = approvedPurchase();
        p.receiptPort = receiptPort;
        PurchaseJournal(journalFile()).write(p, PurchaseState::Authorised, QStringLiteral("receipt printed"));
        m_ledger.recordAnswers = QStringList(4, QStringLiteral("store refused the movement"));
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        const auto result = s.settleAll().first();
        Wst00001::restoreDefaults();

        QCOMPARE(result.outcome, PurchaseSettlement::Outcome::Undone);
        checkSettled(p, false);
        QCOMPARE(slipsPrinted.size(), printed ? 1 : 0);
        if (printed) {
            const QString slip = slipsPrinted.first();
            QVERIFY(slip.startsWith(QStringLiteral("COM1\n")));
            for (const QString& part :
                 {QStringLiteral("CANCELAMENTO"), QStringLiteral("Filial"), p.nsu, QLocale().toString(25.0, 'f', 2),
                  QStringLiteral("4111**1111"), QStringLiteral("Nenhum valor será cobrado.")})
                QVERIFY2(slip.contains(part), qPrintable(part));
            QVERIFY(!slip.contains(QStringLiteral("4111111111111111")));
        }
        QCOMPARE(result.text.contains(QStringLiteral("cancellation slip not printed")), reported);
    }

    void storeUnreachableThroughoutIsLeftForTheNextSettlement()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.lookupsFailing = 100;
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        s.setRetryDelays({500});
        // The store may hold it (an answer lost on the way): neither recorded blind nor undone.
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Unsettled);
        QCOMPARE(m_ledger.recordCalls, 0);
        QCOMPARE(journal.unfinished().size(), 1);
        QCOMPARE(m_terminal->status(p.nsu), std::optional<TerminalState>(TerminalState::Pending));

        m_ledger.lookupsFailing = 0; // the store is back: recorded once, then confirmed
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        QCOMPARE(m_ledger.recordCalls, 1);
        checkSettled(p, true);
    }

    void successAnswerWithoutAMovementIsNotRecorded()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.recordAnswers = QStringList(4, QString());
        m_ledger.dropRecordings = true; // answers success, writes nothing
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Undone);
        QCOMPARE(m_ledger.recordCalls, 4);
        checkSettled(p, false);
    }

    void undoRefusedIsLeftForTheNextSettlement()
    {
        const PurchaseRecord p = approvedPurchase();
        m_ledger.recordAnswers = QStringList(4, QStringLiteral("disk full"));
        m_terminal->undosFailing = 1;
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Unsettled);
        QCOMPARE(journal.find(p.nsu, p.CDFILIAL, p.CDCAIXA)->state, PurchaseState::Authorised);
        QCOMPARE(m_sim->status(p.nsu), TerminalState::Pending);
        // Next start: the store works again, so the consumer gets the credit after all.
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Confirmed);
        checkSettled(p, true);
    }

    void cancelledOnTheTerminalIsNeverRecorded()
    {
        const PurchaseRecord p = approvedPurchase();
        m_sim->undo(p.nsu); // e.g. the card-payment server timed the pending transaction out
        PurchaseJournal journal(journalFile());
        auto s = settlement(journal);
        QCOMPARE(s.settleAll().first().outcome, PurchaseSettlement::Outcome::Undone);
        QCOMPARE(m_ledger.recordCalls, 0);
        checkSettled(p, false);

        // Recorded in the store but cancelled on the terminal: reported, never hidden.
        const PurchaseRecord q = approvedPurchase();
        m_sim->undo(q.nsu);
        m_ledger.movements.append(FakeLedger::key(q.nsu, q.CDFILIAL, q.CDCAIXA));
        const auto result = s.settleAll().first();
        QCOMPARE(result.outcome, PurchaseSettlement::Outcome::CreditWithoutPayment);
        QVERIFY(result.text.contains(q.nsu));
    }

    void samePurchaseIsKeyedByNsuBranchAndTill()
    {
        PurchaseRecord p = approvedPurchase();
        PurchaseRecord other = p;
        other.CDCAIXA = QStringLiteral("003"); // another till's transaction with the same NSU
        PurchaseJournal journal(journalFile());
        journal.write(other, PurchaseState::Authorised);
        journal.write(p, PurchaseState::Recorded);
        journal.write(p, PurchaseState::Confirmed);
        QCOMPARE(journal.entries().size(), 2);
        QCOMPARE(journal.unfinished().size(), 1);
        QCOMPARE(journal.unfinished().first().purchase.CDCAIXA, QStringLiteral("003"));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
