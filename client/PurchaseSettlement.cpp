#include "PurchaseSettlement.h"

#include "CancellationSlip.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "DateTimeValue.h"
#include "ExclusiveLock.h"
#include "KioskError.h"
#include "Ledger.h"
#include "PaymentTerminal.h"
#include "EventPause.h"
#include "Wst00001.h"

#include <algorithm>

Ledger::~Ledger() = default;

bool Ledger::holds(const PurchaseRecord& purchase)
{
    return hasMovement(purchase.nsu, purchase.CDFILIAL, purchase.CDCAIXA);
}

bool Ledger::holdsCharge(const QString& branch, const QString& till, const PendingTransaction& charge)
{
    (void)branch;
    (void)till;
    throw KioskError(
        QStringLiteral("this store cannot tell the credit of NSU %1 from another purchase's").arg(charge.nsu));
}

bool Ledger::isChargeMovement(double when, Money amount, const PendingTransaction& charge)
{
    if (amount != charge.amount)
        return false;
    if (!charge.approvedAt.isValid())
        return true;
    return when >= DateTimeValue::fromDateTime(charge.approvedAt.addSecs(-chargeMovementBeforeS)) &&
           when <= DateTimeValue::fromDateTime(charge.approvedAt.addSecs(chargeMovementAfterS));
}

namespace
{
// Whether a journal entry with a pending charge's NSU is that charge, not an earlier purchase
// under an NSU the terminal handed out again: the same amount, its movement made at the approval.
bool isThisCharge(const JournalEntry& entry, const PendingTransaction& charge)
{
    const DataPacket& packet = entry.purchase.packet;
    if (packet.rows().isEmpty() || packet.fieldIndex(QStringLiteral("DTHRINCMOV")) < 0)
        return entry.purchase.amount() == charge.amount;
    ClientDataSet row(QStringLiteral("cdsJournalMovement"));
    row.setData(packet);
    row.first();
    return Ledger::isChargeMovement(row.fieldByName(QStringLiteral("DTHRINCMOV")).asDateTime(), entry.purchase.amount(),
                                    charge);
}
} // namespace

PurchaseSettlement::PurchaseSettlement(PurchaseJournal& journal, Ledger& ledger, PaymentTerminal& terminal,
                                       Sleeper sleeper)
    : m_journal(journal), m_ledger(ledger), m_terminal(terminal),
      m_sleeper(sleeper ? std::move(sleeper) : Sleeper(&EventPause::forMs))
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
    case Outcome::InProgress:
        return QStringLiteral("in progress");
    case Outcome::NotCharged:
        return QStringLiteral("not charged");
    case Outcome::CreditWithoutPayment:
        return QStringLiteral("CREDIT WITHOUT PAYMENT");
    }
    return QString();
}

bool PurchaseSettlement::leavesWork(Outcome outcome)
{
    return outcome != Outcome::Confirmed && outcome != Outcome::Undone && outcome != Outcome::NotCharged;
}

PurchaseSettlement::Result PurchaseSettlement::creditWithoutPayment(const PurchaseRecord& p,
                                                                    const QString& terminalSays)
{
    const QString text =
        QStringLiteral("the store holds the credit of NSU %1 (consumer %2, family %3, amount %4) but the terminal "
                       "%5; reverse it with: kioskctl recover --reverse %1")
            .arg(p.nsu, p.CDCONSUMIDOR, p.CDFAMILISALD, p.amount().text(), terminalSays);
    qCCritical(lcJournal).noquote() << text;
    return {p.nsu, Outcome::CreditWithoutPayment, text};
}

namespace
{
PurchaseSettlement::Result withNote(PurchaseSettlement::Result r, const QString& note)
{
    if (!note.isEmpty())
        r.text = r.text.isEmpty() ? note : r.text + QStringLiteral("; ") + note;
    return r;
}

const QString cancelledIt = QStringLiteral("cancelled the card transaction");
const QString doesNotKnowIt = QStringLiteral("does not know the card transaction");
} // namespace

// The terminal answers, yet has no word on the NSU: its transactions were lost, or the NSU
// is not one of its own. Nothing there can be confirmed or undone, ever.
PurchaseSettlement::Result PurchaseSettlement::unknownToTerminal(const PurchaseRecord& p)
{
    QString failure;
    if (inLedger(p, &failure))
        return creditWithoutPayment(p, doesNotKnowIt);
    if (!failure.isEmpty())
        return {p.nsu, Outcome::Unsettled, failure};
    const QString why = QStringLiteral("the terminal does not know NSU %1: there is no charge to confirm or undo; "
                                       "not recorded")
                            .arg(p.nsu);
    qCWarning(lcJournal).noquote() << "purchase" << p.nsu << ":" << why;
    m_journal.write(p, PurchaseState::Undone, why);
    return {p.nsu, Outcome::NotCharged, why};
}

bool PurchaseSettlement::terminalAnswers()
{
    try {
        m_terminal.pending();
        return true;
    } catch (const std::exception&) {
        return false;
    }
}

// A recording whose balance evolution never ran (a crash after its commit, or an evolution that
// failed) leaves the consumer's balance behind its lines: the settler brings it up to date.
QString PurchaseSettlement::evolveStaleBalances(const PurchaseRecord& p)
{
    try {
        m_ledger.evolveStaleBalances(p.CDCLIENTE, p.CDCONSUMIDOR, p.CDFILIAL);
    } catch (const std::exception& e) {
        const QString text = QStringLiteral("the consumer's balances could not be brought up to date: %1")
                                 .arg(QString::fromUtf8(e.what()));
        qCWarning(lcJournal).noquote() << "purchase" << p.nsu << ":" << text;
        return text;
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
    case PurchaseState::Declined:
        return {p.nsu, Outcome::NotCharged, entry.note};
    case PurchaseState::Ordered:
    case PurchaseState::Charging:
        return {p.key(), Outcome::Unsettled, QStringLiteral("ordered, no approval yet")};
    case PurchaseState::Recorded:
    case PurchaseState::Confirming: {
        const QString balances = evolveStaleBalances(p);
        return withNote(confirm(p), balances);
    }
    case PurchaseState::Authorised:
    case PurchaseState::Printed:
    case PurchaseState::Recording:
    case PurchaseState::Undoing:
        break; // paid: the ledger decides again
    }

    QString failure;
    std::optional<TerminalState> onTerminal;
    bool reached = true;
    try {
        onTerminal = m_terminal.status(p.nsu);
    } catch (const std::exception&) {
        reached = false; // an unreachable terminal says nothing; the ledger decides
    }
    if (!onTerminal && reached && terminalAnswers())
        return unknownToTerminal(p);
    if (onTerminal == TerminalState::Undone || onTerminal == TerminalState::Declined) {
        if (inLedger(p, &failure))
            return creditWithoutPayment(p, cancelledIt);
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
    const QString balances = evolveStaleBalances(p);
    m_journal.write(p, PurchaseState::Recorded);
    return withNote(confirm(p), balances);
}

PurchaseSettlement::Result PurchaseSettlement::confirm(const PurchaseRecord& p, bool retell)
{
    if (!retell)
        m_journal.write(p, PurchaseState::Confirming);
    try {
        m_terminal.confirm(p.nsu);
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        // A recorded purchase whose card transaction was cancelled will never confirm.
        std::optional<TerminalState> state;
        bool reached = true;
        try {
            state = m_terminal.status(p.nsu);
        } catch (const std::exception&) {
            reached = false;
        }
        if (state == TerminalState::Undone || state == TerminalState::Declined)
            return creditWithoutPayment(p, cancelledIt);
        if (!state && reached && terminalAnswers())
            return creditWithoutPayment(p, doesNotKnowIt);
        qCWarning(lcJournal).noquote() << "purchase" << p.nsu << "recorded; the terminal did not confirm it:" << text;
        if (!retell)
            m_journal.write(p, PurchaseState::Recorded, text); // confirmation pending: the next settlement tries again
        return {p.nsu, Outcome::ConfirmLater, text};
    }
    if (!retell)
        m_journal.write(p, PurchaseState::Confirmed);
    return {p.nsu, Outcome::Confirmed, QString()};
}

PurchaseSettlement::Result PurchaseSettlement::undo(const PurchaseRecord& p, const QString& reason, bool retell)
{
    if (!retell)
        m_journal.write(p, PurchaseState::Undoing, reason);
    try {
        m_terminal.undo(p.nsu);
    } catch (const std::exception& e) {
        const QString text = QString::fromUtf8(e.what());
        qCCritical(lcJournal).noquote() << "purchase" << p.nsu << "could neither be recorded (" << reason
                                        << ") nor cancelled on the terminal:" << text;
        if (!retell)
            m_journal.write(p, PurchaseState::Authorised, reason + QStringLiteral("; ") + text);
        return {p.nsu, Outcome::Unsettled, text};
    }
    if (!retell)
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

PurchaseSettlement::Result PurchaseSettlement::settleLocked(const JournalEntry& entry)
{
    ExclusiveLock lock(m_journal.lockFile(entry.purchase));
    const QString name = entry.purchase.nsu.isEmpty() ? entry.purchase.key() : entry.purchase.nsu;
    if (!lock.tryLock())
        return {name, Outcome::InProgress, QStringLiteral("another settler has it now")};
    // Read again under the lock: the settler that had it may have finished it.
    const std::optional<JournalEntry> fresh = m_journal.findKey(entry.purchase.key());
    if (!fresh)
        return {name, Outcome::Unsettled, QStringLiteral("gone from the journal")};
    Result result;
    if (fresh->state == PurchaseState::Ordered || fresh->state == PurchaseState::Charging) {
        // Ordered, but no approval was journalled: the terminal's pending list was settled
        // first, so no charge of it is left standing.
        m_journal.write(fresh->purchase, PurchaseState::Declined,
                        QStringLiteral("no approval journalled; the terminal holds no charge for it"));
        result = {name, Outcome::NotCharged, QString()};
    } else {
        result = settle(*fresh);
    }
    if (!leavesWork(result.outcome))
        lock.removeAndUnlock();
    return result;
}

// Whether an order of this till is still before its approval line in a live process (its lock
// is held): the charge it is waiting to journal may be on the pending list as a stranger.
bool PurchaseSettlement::orderWaitsForApproval(const QList<JournalEntry>& orders)
{
    for (const JournalEntry& entry : orders) {
        if (!m_branch.isEmpty() && (entry.purchase.CDFILIAL != m_branch || entry.purchase.CDCAIXA != m_till))
            continue;
        ExclusiveLock probe(m_journal.lockFile(entry.purchase));
        if (!probe.tryLock())
            return true;
    }
    return false;
}

QList<PurchaseSettlement::Result> PurchaseSettlement::settlePending(const QList<PendingTransaction>& pending,
                                                                    bool orderWaiting, const QSet<QString>& openNsus)
{
    QList<Result> results;
    for (const PendingTransaction& t : pending) {
        if (openNsus.contains(t.nsu))
            continue; // its journal entry was settled above, or is in progress
        // A settled purchase of the journal that is this charge: the same NSU on this till, and
        // the same amount and time (an earlier purchase under a reused NSU is someone else's).
        std::optional<JournalEntry> known;
        if (!m_branch.isEmpty()) {
            for (const JournalEntry& e : m_journal.withNsu(t.nsu, m_branch, m_till)) {
                if (e.finished() && isThisCharge(e, t)) {
                    known = e;
                    break;
                }
            }
        }
        if (known) {
            // The journal ended it, the terminal did not hear: tell it again, under its own lock.
            ExclusiveLock lock(m_journal.lockFile(known->purchase));
            if (!lock.tryLock()) {
                results.append({t.nsu, Outcome::InProgress, QStringLiteral("another settler has it now")});
                continue;
            }
            results.append(known->state == PurchaseState::Confirmed ? confirm(known->purchase, true)
                                                                    : undo(known->purchase, known->note, true));
            continue;
        }
        if (m_branch.isEmpty()) {
            results.append({t.nsu, Outcome::Unsettled,
                            QStringLiteral("pending on the terminal, unknown to the journal, and the kiosk's till "
                                           "is not known (no PARAMETROSZEL.CDS)")});
            continue;
        }
        if (orderWaiting) {
            results.append({t.nsu, Outcome::InProgress,
                            QStringLiteral("a purchase of this till is waiting for its approval; pending on the "
                                           "terminal")});
            continue;
        }
        PurchaseRecord p;
        p.nsu = t.nsu;
        p.CDFILIAL = m_branch;
        p.CDCAIXA = m_till;
        ExclusiveLock lock(m_journal.lockFile(p));
        if (!lock.tryLock()) {
            results.append({t.nsu, Outcome::InProgress, QStringLiteral("another settler has it now")});
            continue;
        }
        // Journalled since the journal was read: its own settlement, under its own lock, ends it.
        const QList<JournalEntry> now = m_journal.withNsu(t.nsu, m_branch, m_till);
        if (std::any_of(now.cbegin(), now.cend(), [](const JournalEntry& e) { return !e.finished(); })) {
            results.append({t.nsu, Outcome::InProgress, QStringLiteral("journalled meanwhile by its kiosk")});
            continue;
        }
        // Unknown to the journal (lost, or the kiosk died before writing the approval): the
        // store decides on the terminal's evidence. Held: confirm; not held: undo; cannot say: leave it.
        bool held = false;
        try {
            held = m_ledger.holdsCharge(m_branch, m_till, t);
        } catch (const std::exception& e) {
            results.append({t.nsu, Outcome::Unsettled, QString::fromUtf8(e.what())});
            continue;
        }
        try {
            if (held) {
                m_terminal.confirm(t.nsu);
                results.append({t.nsu, Outcome::Confirmed, QStringLiteral("held by the store, not by the journal")});
            } else {
                m_terminal.undo(t.nsu);
                results.append(
                    {t.nsu, Outcome::Undone, QStringLiteral("pending on the terminal with no purchase to record")});
            }
            qCWarning(lcJournal).noquote()
                << "pending transaction" << t.nsu << "unknown to the journal:" << (held ? "confirmed" : "undone");
        } catch (const std::exception& e) {
            results.append({t.nsu, Outcome::Unsettled, QString::fromUtf8(e.what())});
        }
    }
    return results;
}

QList<PurchaseSettlement::Result> PurchaseSettlement::settleAll()
{
    QList<Result> results;
    // The terminal first, then the journal: a purchase ordered and approved between the two
    // reads is then an order of this till in the journal read, never a stranger to undo.
    QList<PendingTransaction> pending;
    QString pendingFailure;
    try {
        pending = m_terminal.pending();
    } catch (const std::exception& e) {
        pendingFailure =
            QStringLiteral("the terminal cannot list its pending transactions: %1").arg(QString::fromUtf8(e.what()));
    }
    QList<JournalEntry> ordered;
    QSet<QString> openNsus;
    for (const JournalEntry& entry : m_journal.unfinished()) {
        if (!entry.purchase.nsu.isEmpty())
            openNsus.insert(entry.purchase.nsu);
        if (entry.state == PurchaseState::Ordered || entry.state == PurchaseState::Charging) {
            ordered.append(entry);
            continue;
        }
        results.append(settleLocked(entry));
    }
    if (!pendingFailure.isEmpty()) {
        // Without the list an order may still have a charge standing: it stays open.
        results.append({QString(), Outcome::Unsettled, pendingFailure});
        for (const JournalEntry& entry : ordered)
            results.append({entry.purchase.key(), Outcome::Unsettled, pendingFailure});
        return results;
    }
    results.append(settlePending(pending, orderWaitsForApproval(ordered), openNsus));
    for (const JournalEntry& entry : ordered)
        results.append(settleLocked(entry));
    return results;
}
