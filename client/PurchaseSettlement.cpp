#include "PurchaseSettlement.h"

#include "CancellationSlip.h"
#include "Clock.h"
#include "KioskError.h"
#include "Ledger.h"
#include "PaymentTerminal.h"
#include "SimulatedTerminal.h"
#include "Wst00001.h"

Ledger::~Ledger() = default;

bool Ledger::holds(const PurchaseRecord& purchase)
{
    return hasMovement(purchase.nsu, purchase.CDFILIAL, purchase.CDCAIXA);
}

PurchaseSettlement::PurchaseSettlement(PurchaseJournal& journal, Ledger& ledger, PaymentTerminal& terminal,
                                       Sleeper sleeper)
    : m_journal(journal), m_ledger(ledger), m_terminal(terminal),
      m_sleeper(sleeper ? std::move(sleeper) : Sleeper(&SimulatedTerminal::sleepProcessingEvents))
{
}

QString PurchaseSettlement::outcomeName(Outcome outcome)
{
    switch (outcome) {
    case Outcome::Confirmed:
        return QStringLiteral("confirmed");
    case Outcome::ConfirmLater:
        return QStringLiteral("recorded, confirmation pending");
    case Outcome::Undone:
        return QStringLiteral("undone");
    case Outcome::Unsettled:
        return QStringLiteral("unsettled");
    }
    return QString();
}

bool PurchaseSettlement::inLedger(const PurchaseRecord& purchase, QString* failure)
{
    try {
        return m_ledger.holds(purchase);
    } catch (const std::exception& e) {
        *failure = QString::fromUtf8(e.what());
        return false;
    }
}

PurchaseSettlement::Result PurchaseSettlement::settle(const JournalEntry& entry)
{
    const PurchaseRecord& p = entry.purchase;
    switch (entry.state) {
    case PurchaseState::Confirmed:
        return {p.nsu, Outcome::Confirmed, entry.note};
    case PurchaseState::Undone:
        return {p.nsu, Outcome::Undone, entry.note};
    case PurchaseState::Recorded:
        return confirm(p);
    case PurchaseState::Authorised:
        break;
    }

    QString failure;
    std::optional<TerminalState> onTerminal;
    try {
        onTerminal = m_terminal.status(p.nsu);
    } catch (const std::exception&) {
        // an unreachable terminal says nothing; the ledger decides
    }
    if (onTerminal == TerminalState::Undone || onTerminal == TerminalState::Declined) {
        if (inLedger(p, &failure)) {
            const QString text = QStringLiteral("purchase %1 is recorded in the store but was cancelled on the "
                                                "terminal; a technician must reverse the credit")
                                     .arg(p.nsu);
            qCCritical(lcJournal).noquote() << text;
            return {p.nsu, Outcome::Unsettled, text};
        }
        if (!failure.isEmpty())
            return {p.nsu, Outcome::Unsettled, failure};
        const QString why = QStringLiteral("the terminal had already cancelled it");
        m_journal.write(p, PurchaseState::Undone, why);
        return {p.nsu, Outcome::Undone, why};
    }

    const int attempts = int(m_delaysMs.size()) + 1;
    bool recorded = false;
    for (int attempt = 1; attempt <= attempts && !recorded; ++attempt) {
        if (attempt > 1) {
            if (m_progress)
                m_progress(attempt, attempts);
            m_sleeper(m_delaysMs.at(attempt - 2));
        }
        QString lookupFailure;
        // A recording whose answer was lost may have committed: look before writing again.
        if (inLedger(p, &lookupFailure)) {
            recorded = true;
            break;
        }
        if (!lookupFailure.isEmpty()) {
            failure = lookupFailure;
            continue; // the store cannot even answer; writing now would be blind
        }
        failure = m_ledger.record(p);
        recorded = failure.isEmpty();
        if (recorded) {
            // The store's answer alone does not make a purchase recorded: its ledger does.
            QString checkFailure;
            if (!inLedger(p, &checkFailure) && checkFailure.isEmpty()) {
                recorded = false;
                failure = QStringLiteral("the store answered without holding a movement for NSU %1").arg(p.nsu);
            }
        }
        if (!recorded)
            qCWarning(lcJournal).noquote()
                << "purchase" << p.nsu << "not recorded, attempt" << attempt << "of" << attempts << ":" << failure;
    }
    if (!recorded) {
        QString lookupFailure;
        recorded = inLedger(p, &lookupFailure);
        // A store that cannot say whether the purchase is there may hold it: undoing the
        // card now could leave a credit without payment. The next settlement decides.
        if (!recorded && !lookupFailure.isEmpty()) {
            m_journal.write(p, PurchaseState::Authorised, failure);
            return {p.nsu, Outcome::Unsettled, lookupFailure};
        }
    }
    if (!recorded)
        return undo(p, failure);
    m_journal.write(p, PurchaseState::Recorded);
    return confirm(p);
}

PurchaseSettlement::Result PurchaseSettlement::confirm(const PurchaseRecord& p)
{
    try {
        m_terminal.confirm(p.nsu);
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        qCWarning(lcJournal).noquote() << "purchase" << p.nsu << "recorded; the terminal did not confirm it:" << text;
        return {p.nsu, Outcome::ConfirmLater, text};
    }
    m_journal.write(p, PurchaseState::Confirmed);
    return {p.nsu, Outcome::Confirmed, QString()};
}

PurchaseSettlement::Result PurchaseSettlement::undo(const PurchaseRecord& p, const QString& reason)
{
    try {
        m_terminal.undo(p.nsu);
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        qCCritical(lcJournal).noquote() << "purchase" << p.nsu << "could neither be recorded (" << reason
                                        << ") nor cancelled on the terminal:" << text;
        m_journal.write(p, PurchaseState::Authorised, reason + QStringLiteral("; ") + text);
        return {p.nsu, Outcome::Unsettled, text};
    }
    m_journal.write(p, PurchaseState::Undone, reason);
    const QString slip = printCancellationSlip(p);
    return {p.nsu, Outcome::Undone, slip.isEmpty() ? reason : reason + QStringLiteral("; ") + slip};
}

QString PurchaseSettlement::printCancellationSlip(const PurchaseRecord& p)
{
    if (p.receiptPort.isEmpty())
        return QString();
    CancellationSlip slip;
    slip.branch = p.CDFILIAL;
    slip.till = p.CDCAIXA;
    slip.at = Clock::instance().now();
    slip.nsu = p.nsu;
    slip.amount = p.amount();
    const int card = p.packet.fieldIndex(QStringLiteral("NRCARTBANCO"));
    if (card >= 0 && !p.packet.rows().isEmpty() && card < p.packet.rows().first().size())
        slip.cardNumber = p.packet.rows().first().at(card).toString();
    try {
        Wst00001::printCancellationSlip(p.receiptPort, slip);
    } catch (const std::exception& e) {
        const QString text =
            QStringLiteral("cancellation slip not printed on %1: %2").arg(p.receiptPort, QString::fromUtf8(e.what()));
        qCWarning(lcJournal).noquote() << "purchase" << p.nsu << ":" << text;
        return text;
    }
    return QString();
}

QList<PurchaseSettlement::Result> PurchaseSettlement::settleAll()
{
    QList<Result> results;
    for (const JournalEntry& entry : m_journal.unfinished())
        results.append(settle(entry));
    return results;
}
