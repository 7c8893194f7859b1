#pragma once

#include "ModuleExport.h"
#include "PurchaseJournal.h"

#include <QList>
#include <QString>
#include <functional>

class Ledger;
class PaymentTerminal;

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
        Confirmed,    // recorded once and confirmed: the consumer has the credit
        ConfirmLater, // recorded once; the terminal did not take the confirmation yet
        Undone,       // not recorded; the card transaction was cancelled
        Unsettled     // neither could be done now (the text says why); left for the next settlement
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
    Result settle(const JournalEntry& entry);
    // Settles every unfinished purchase of the journal.
    QList<Result> settleAll();

    static QString outcomeName(Outcome outcome);

    // After an undo: prints the cancellation slip on the printer that has the purchase's
    // receipt, when one was printed. Empty when printed or not due, else why it was not.
    static QString printCancellationSlip(const PurchaseRecord& purchase);

private:
    Result confirm(const PurchaseRecord& purchase);
    Result undo(const PurchaseRecord& purchase, const QString& reason);
    bool inLedger(const PurchaseRecord& purchase, QString* failure);

    PurchaseJournal& m_journal;
    Ledger& m_ledger;
    PaymentTerminal& m_terminal;
    Sleeper m_sleeper;
    Progress m_progress;
    QList<int> m_delaysMs{1000, 2000, 4000};
};
