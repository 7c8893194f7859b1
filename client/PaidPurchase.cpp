#include "PaidPurchase.h"

#include "KioskError.h"
#include "Ledger.h"
#include "Logging.h"
#include "PaymentTerminal.h"
#include "PurchaseSettlement.h"
#include "PurchaseTexts.h"
#include <QThread>
#include "StoreLedger.h"
#include "Wst00001.h"

PaidPurchase::PaidPurchase(const PurchaseSupport& support, WaitText waitText, PurchaseRecord record)
    : m_support(support), m_waitText(std::move(waitText)), m_record(std::move(record)),
      m_journal(support.journalFile.isEmpty() ? PurchaseJournal::defaultFile() : support.journalFile),
      m_ledger(support.ledger ? support.ledger : std::make_shared<StoreLedger>())
{
}

void PaidPurchase::journalApproval()
{
    try {
        m_journal.write(m_record, PurchaseState::Authorised, QStringLiteral("approved"));
    } catch (const KioskError& e) {
        qCCritical(lcScreen).noquote() << "purchase" << m_record.nsu << "could not be journalled:" << e.message();
        m_recordingTried = false;
        throw KioskError(e.message() + QLatin1Char('\n') + rescue(e.message()));
    }
}

void PaidPurchase::journalPrinted()
{
    try {
        m_journal.write(m_record, PurchaseState::Printed, QStringLiteral("receipt printed"));
    } catch (const KioskError& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu
                                      << "printed; the fuller journal entry could not be written:" << e.message();
    }
}

void PaidPurchase::recordingCalled()
{
    m_recordingTried = true;
    journalQuietly(PurchaseState::Recording, QString());
}

void PaidPurchase::settleFromLedger()
{
    const QList<int> delays = m_support.retryDelaysMs;
    const int attempts = int(delays.size()) + 1;
    bool recorded = false;
    try {
        recorded = m_ledger->holds(m_record);
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu
                                      << ": the store cannot say whether it is recorded:" << e.what();
    }
    // The waits between attempts run on the store worker's thread, never on the screen's.
    auto sleeper = m_support.sleeper ? m_support.sleeper
                                     : PurchaseSettlement::Sleeper([](int ms) { QThread::msleep(ulong(ms)); });
    PurchaseSettlement settlement(m_journal, *m_ledger, Wst00001::paymentTerminal(), sleeper);
    if (!recorded && attempts > 1) {
        // The call just made was the first attempt; the settlement makes the others.
        showAttempt(2, attempts);
        sleeper(delays.first());
        settlement.setRetryDelays(delays.mid(1));
        settlement.setProgress([this](int attempt, int) { showAttempt(attempt + 1, -1); });
        m_attempts = attempts;
    } else if (!recorded) {
        settlement.setRetryDelays({});
    }
    JournalEntry entry;
    entry.purchase = m_record;
    entry.state = PurchaseState::Authorised;
    const PurchaseSettlement::Result result = settlement.settle(entry);
    m_settled = true;
    qCInfo(lcScreen).noquote() << "purchase" << m_record.nsu
                               << "settled:" << PurchaseSettlement::outcomeName(result.outcome) << result.text;
    switch (result.outcome) {
    case PurchaseSettlement::Outcome::Confirmed:
    case PurchaseSettlement::Outcome::ConfirmLater:
        m_outcomeText = recorded ? QString() : PurchaseTexts::recordedLate();
        break;
    case PurchaseSettlement::Outcome::Undone:
    case PurchaseSettlement::Outcome::NotCharged:
        m_outcomeText = PurchaseTexts::undone();
        break;
    case PurchaseSettlement::Outcome::Unsettled:
    case PurchaseSettlement::Outcome::InProgress:
    case PurchaseSettlement::Outcome::CreditWithoutPayment:
        m_outcomeText = PurchaseTexts::unsettled();
        break;
    }
}

QString PaidPurchase::rescue(const QString& reason)
{
    m_settled = true;
    PaymentTerminal& terminal = Wst00001::paymentTerminal();
    try {
        if (m_recordingTried && m_ledger->holds(m_record)) {
            journalQuietly(PurchaseState::Recorded, QString());
            terminal.confirm(m_record.nsu);
            journalQuietly(PurchaseState::Confirmed, QString());
            return PurchaseTexts::recordedLate();
        }
        terminal.undo(m_record.nsu);
    } catch (const std::exception& e) {
        qCCritical(lcScreen).noquote() << "purchase" << m_record.nsu << "left for the next settlement:" << e.what();
        return PurchaseTexts::unsettled();
    }
    qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu << "undone on the terminal:" << reason;
    journalQuietly(PurchaseState::Undone, reason);
    PurchaseSettlement::printCancellationSlip(m_record);
    return PurchaseTexts::undone();
}

void PaidPurchase::showAttempt(int attempt, int attempts)
{
    if (attempts > 0)
        m_attempts = attempts;
    if (m_waitText)
        m_waitText(PurchaseTexts::recordingAttempt(attempt, m_attempts));
}

// On the way out of a failure the terminal has the last word; a journal that cannot
// be written then leaves the entry as it was, which the next settlement finishes.
void PaidPurchase::journalQuietly(PurchaseState state, const QString& note)
{
    try {
        m_journal.write(m_record, state, note);
    } catch (const KioskError& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu << ": journal not written:" << e.message();
    }
}
