#pragma once

#include "PurchaseJournal.h"
#include "PurchaseSupport.h"

#include <functional>
#include <memory>

class Ledger;

// A card purchase the terminal approved: its journal entry and how it ends. Until
// it is settled, the card holder's money is pending on the terminal; every way out
// of the purchase leaves it confirmed with one recording, undone with none, or in
// the journal for the next settlement.
class PaidPurchase
{
public:
    using WaitText = std::function<void(const QString& text)>;

    PaidPurchase(const PurchaseSupport& support, WaitText waitText, PurchaseRecord record);

    PurchaseRecord& record() { return m_record; }
    bool settled() const { return m_settled; }
    // The words for the consumer once the purchase has ended, empty on a plain success.
    const QString& outcomeText() const { return m_outcomeText; }

    // Written before anything else can go wrong; a failure here undoes the card at once.
    void journalApproval();
    // A fuller snapshot (receipt counters, deposit number, fiscal date, the receipt's
    // printer); the entry written at approval still serves if this one cannot be written.
    void journalPrinted();
    // The store is about to be asked to record it: from here the ledger decides.
    void recordingCalled();

    // After the recording was called: the store's ledger says whether it holds the purchase.
    // Recorded: confirm. Not recorded: record again a few times, the wait window saying so,
    // then undo on the terminal if it still cannot be recorded.
    void settleFromLedger();

    // An error stopped the purchase after the approval. Nothing recorded yet: undo the card
    // transaction (with a cancellation slip when the receipt is out). Recording already
    // called: the ledger decides; when it cannot answer, the entry stays for the next
    // settlement rather than undoing blind. Returns the words for the consumer.
    QString rescue(const QString& reason);

private:
    void showAttempt(int attempt, int attempts);
    void journalQuietly(PurchaseState state, const QString& note);

    PurchaseSupport m_support;
    WaitText m_waitText;
    PurchaseRecord m_record;
    PurchaseJournal m_journal;
    std::shared_ptr<Ledger> m_ledger;
    bool m_recordingTried = false;
    bool m_settled = false;
    int m_attempts = 0;
    QString m_outcomeText;
};
