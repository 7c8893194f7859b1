// The purchase journal and its settlement: states kept across a crash, a torn last
// line, and every way a paid purchase is brought to an end (confirmed with exactly
// one recording, or undone with none), with a fake store and the simulated terminal.
#include "CancellationSlip.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "Ledger.h"
#include "Packets.h"
#include "PurchaseJournal.h"
#include "PurchaseSettlement.h"
#include "SimulatedTerminal.h"
#include "Wst00001.h"

#include <QFile>
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
    QString record(const PurchaseRecord& p) override
    {
        ++recordCalls;
        const QString answer = recordAnswers.isEmpty() ? QString() : recordAnswers.takeFirst();
        if ((answer.isEmpty() && !dropRecordings) || commitDespiteError)
            movements.append(key(p.nsu, p.CDFILIAL, p.CDCAIXA));
        return answer;
    }
};

// Wraps the simulator so a test can make confirm or undo fail.
class FlakyTerminal : public PaymentTerminal
{
public:
    explicit FlakyTerminal(SimulatedTerminal& t) : real(t) {}
    SimulatedTerminal& real;
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
    std::unique_ptr<SimulatedTerminal> m_sim;
    std::unique_ptr<FlakyTerminal> m_terminal;
    FakeLedger m_ledger;
    QList<int> m_waits;
    QList<int> m_progress;

    QString journalFile() const { return m_dir->filePath(QStringLiteral("purchase-journal.jsonl")); }

    // A purchase the terminal approved: pending there, authorised in the journal.
    PurchaseRecord approvedPurchase(double amount = 25)
    {
        TerminalRequest r;
        r.amount = amount;
        const TerminalAnswer a = m_sim->authorise(r);
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
        m_sim = std::make_unique<SimulatedTerminal>(TerminalSettings(), m_dir->filePath(QStringLiteral("tx.jsonl")),
                                                    [](int) {});
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
        QCOMPARE(e.purchase.amount(), 25.0);
        QCOMPARE(e.purchase.packet.rows().size(), 1);
        QCOMPARE(e.purchase.packet.fields(), p.packet.fields());
        // The card number is masked on the way in, whatever the caller passed.
        QFile f(journalFile());
        QVERIFY(f.open(QIODevice::ReadOnly));
        const QByteArray content = f.readAll();
        QVERIFY(!content.contains("4111111111111111"));
        QVERIFY(content.contains("4111**1111"));
        QVERIFY(PurchaseJournal(journalFile()).unfinished().size() == 1);
        QVERIFY_THROWS_EXCEPTION(KioskError, journal.write(PurchaseRecord(), PurchaseState::Authorised));
    }

    void tornLastLineAfterACrash()
    {
        const PurchaseRecord a = approvedPurchase(10);
        const PurchaseRecord b = approvedPurchase(20);
        {
            QFile f(journalFile());
            QVERIFY(f.open(QIODevice::Append));
            f.write("{\"v\":1,\"state\":\"recorded\",\"nsu\":\"" + b.nsu.toLatin1() + "\",\"CDFIL"); // cut short
        }
        PurchaseJournal journal(journalFile());
        QCOMPARE(journal.entries().size(), 2);
        QCOMPARE(journal.skippedLines(), 1);
        QCOMPARE(journal.find(b.nsu, b.CDFILIAL, b.CDCAIXA)->state, PurchaseState::Authorised);
        journal.write(a, PurchaseState::Recorded); // starts on a line of its own
        QCOMPARE(journal.find(a.nsu, a.CDFILIAL, a.CDCAIXA)->state, PurchaseState::Recorded);
        QCOMPARE(journal.entries().size(), 2);
        QCOMPARE(journal.skippedLines(), 1);
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
        QCOMPARE(result.outcome, PurchaseSettlement::Outcome::Unsettled);
        QVERIFY(result.text.contains(q.nsu));
    }

    void samePurchaseIsKeyedByNsuBranchAndTill()
    {
        PurchaseRecord p = approvedPurchase();
        PurchaseRecord other = p;
        other.CDCAIXA = QStringLiteral("003"); // another till's transaction with the same NSU
        PurchaseJournal journal(journalFile());
        journal.write(other, PurchaseState::Authorised);
        journal.write(p, PurchaseState::Confirmed);
        QCOMPARE(journal.entries().size(), 2);
        QCOMPARE(journal.unfinished().size(), 1);
        QCOMPARE(journal.unfinished().first().purchase.CDCAIXA, QStringLiteral("003"));
    }
};

QTEST_GUILESS_MAIN(TestJournal)
#include "tst_journal.moc"
