#pragma once

#include "ModuleExport.h"
#include "PurchaseJournal.h"

#include <QList>
#include <QSet>
#include <QString>
#include <functional>

class Ledger;
class PaymentTerminal;
struct PendingTransaction;

// Brings paid purchases of the journal to an end, deciding from the store's ledger:
//   already in the ledger           -> confirm on the terminal
//   not in the ledger               -> record it once from the journal (retrying a few
//                                      times, seconds apart), then confirm
//   cannot be recorded              -> undo on the terminal: the consumer is not charged
// A purchase the terminal already undid (or declined) is never recorded. Every step
// is written to the journal before the next one begins, so a crash anywhere leaves
// an entry the next settlement finishes the same way.
class KVB_EXPORT PurchaseSettlement
{
public:
    using Sleeper = std::function<void(int ms)>;
    // Told before each retry: the attempt about to run and how many there are.
    using Progress = std::function<void(int attempt, int attempts)>;

    enum class Outcome {
        Confirmed,           // recorded once and confirmed: the consumer has the credit
        ConfirmLater,        // recorded once; the terminal did not take the confirmation yet
        Undone,              // not recorded; the card transaction was cancelled
        Unsettled,           // neither could be done now (the text says why); left for the next settlement
        InProgress,          // another settler (the kiosk running it, a second kiosk, recover) has it now
        NotCharged,          // ordered, but the terminal holds no charge for it: nothing to settle
        CreditWithoutPayment // the store holds the credit, the terminal cancelled the card: to be reversed
    };
    struct Result {
        QString nsu;
        Outcome outcome = Outcome::Unsettled;
        QString text;
    };

    PurchaseSettlement(PurchaseJournal& journal, Ledger& ledger, PaymentTerminal& terminal, Sleeper sleeper = {});

    // Waits before the 2nd, 3rd, ... recording attempt; its size + 1 attempts in all.
    void setRetryDelays(QList<int> delaysMs) { m_delaysMs = std::move(delaysMs); }
    void setProgress(Progress progress) { m_progress = std::move(progress); }

    // Settles one purchase from its journal entry (finished entries are returned as they are).
    // The caller holds the purchase's lock.
    Result settle(const JournalEntry& entry);
    // Settles every open purchase of the journal, then every transaction the terminal still
    // holds pending, one settler per purchase (the purchase's lock, named by its id): a
    // purchase another process holds is skipped and reported in progress. The terminal's
    // pending list is taken BEFORE the journal is read, so a purchase ordered and approved
    // meanwhile shows as an order of the till, and a pending charge the journal does not know
    // is left alone while an order of the till waits for its approval line in a live process.
    // Before it acts, a settler reads the purchase again under the lock, and asks the store
    // before anything is recorded or undone.
    QList<Result> settleAll();
    // The branch and till this kiosk records on: where the store is asked about a pending
    // transaction the journal does not know.
    void setKioskTill(const QString& branch, const QString& till)
    {
        m_branch = branch;
        m_till = till;
    }
    // Whether a result leaves something for a technician (or the next settlement).
    static bool leavesWork(Outcome outcome);

    static QString outcomeName(Outcome outcome);

    // After an undo: prints the cancellation slip on the printer that has the purchase's
    // receipt, when one was printed. Empty when printed or not due, else why it was not.
    static QString printCancellationSlip(const PurchaseRecord& purchase);

private:
    // `retell`: the journal ended it already, only the terminal is told again.
    Result confirm(const PurchaseRecord& purchase, bool retell = false);
    Result undo(const PurchaseRecord& purchase, const QString& reason, bool retell = false);
    bool inLedger(const PurchaseRecord& purchase, QString* failure);
    Result creditWithoutPayment(const PurchaseRecord& purchase, const QString& terminalSays);
    Result unknownToTerminal(const PurchaseRecord& purchase);
    bool terminalAnswers();
    QString evolveStaleBalances(const PurchaseRecord& purchase);
    Result settleLocked(const JournalEntry& entry);
    bool orderWaitsForApproval(const QList<JournalEntry>& orders);
    QList<Result> settlePending(const QList<PendingTransaction>& pending, bool orderWaiting,
                                const QSet<QString>& openNsus);
    QString m_branch;
    QString m_till;

    PurchaseJournal& m_journal;
    Ledger& m_ledger;
    PaymentTerminal& m_terminal;
    Sleeper m_sleeper;
    Progress m_progress;
    QList<int> m_delaysMs{1000, 2000, 4000};
};
