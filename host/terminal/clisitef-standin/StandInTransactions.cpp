#include "StandInTransactions.h"

#include "CardNumberMask.h"
#include "Clock.h"
#include "DurableFile.h"
#include "LocalDatabase.h"
#include "NsuCounter.h"
#include "TerminalLogging.h"

#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonObject>
#include <QSqlQuery>
#include <cmath>

namespace
{
const QString isoFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

// Folds the lines of an earlier version's JSON-lines file: the last line of an NSU gives its state.
QList<StandInTransactions::Transaction> fold(const QByteArray& content, const QString& file)
{
    int skipped = 0;
    QList<StandInTransactions::Transaction> list;
    QHash<QString, qsizetype> index;
    for (const QJsonObject& o : DurableFile::parseJsonLines(content, &skipped)) {
        const QString nsu = o.value(QStringLiteral("nsu")).toString();
        const auto state = terminalStateFromName(o.value(QStringLiteral("state")).toString());
        if (nsu.isEmpty() || !state) {
            ++skipped;
            continue;
        }
        auto found = index.constFind(nsu);
        if (found == index.cend()) {
            found = index.insert(nsu, list.size());
            list.append(StandInTransactions::Transaction{});
        }
        StandInTransactions::Transaction& t = list[*found];
        t.nsu = nsu;
        t.state = *state;
        if (o.contains(QStringLiteral("amount")))
            t.amount = o.value(QStringLiteral("amount")).toDouble();
        if (o.contains(QStringLiteral("card")))
            t.cardNumber = o.value(QStringLiteral("card")).toString();
        if (o.contains(QStringLiteral("description")))
            t.description = o.value(QStringLiteral("description")).toString();
        t.text = o.value(QStringLiteral("text")).toString();
        t.changedAt = QDateTime::fromString(o.value(QStringLiteral("at")).toString(), isoFormat);
    }
    if (skipped > 0)
        qCWarning(lcTerminal) << file << ": skipped" << skipped << "unreadable line(s)";
    return list;
}

// NSUs are unique per card-payment server; several kiosks each simulating their own
// server must not hand out the same numbers on a shared store. The first three of
// the twelve digits come from the transactions file's place (one per kiosk), the
// other nine count up.
qint64 nsuBase(const QString& file)
{
    const QString place = QFileInfo(file).absoluteFilePath();
    return qint64(100 + qHash(place, 0) % 900) * 1000000000LL;
}

QString databaseFile(const QString& file)
{
    return file.endsWith(QLatin1String(".jsonl")) ? file.left(file.size() - 6) + QStringLiteral(".db") : file;
}

const QString insertRow =
    QStringLiteral("INSERT INTO terminal_transaction (nsu, state, amount, card, description, text, changed_at, seq, "
                   "document) VALUES (:nsu, :state, :amount, :card, :description, :text, :changed, "
                   "(SELECT COALESCE(MAX(seq), 0) + 1 FROM terminal_transaction), :document)");

} // namespace

StandInTransactions::StandInTransactions(TerminalSettings settings, QString file)
    : m_settings(std::move(settings)), m_file(databaseFile(file)),
      m_db(std::make_unique<LocalDatabase>(m_file, TerminalTransactionsFile::schema()))
{
    TerminalTransactionsFile::upgrade(*m_db);
    const QString legacy =
        m_file.endsWith(QLatin1String(".db")) ? m_file.chopped(3) + QStringLiteral(".jsonl") : QString();
    if (!legacy.isEmpty() && QFile::exists(legacy))
        takeOver(legacy);
}

StandInTransactions::~StandInTransactions() = default;

void StandInTransactions::takeOver(const QString& legacy)
{
    QByteArray content;
    {
        LockedFile file(legacy);
        content = file.readAll();
    }
    const QList<Transaction> list = fold(content, legacy);
    importTransactions(list);
    const QString kept = legacy + QStringLiteral(".taken-over");
    QFile::remove(kept);
    if (!QFile::rename(legacy, kept))
        qCWarning(lcTerminal) << legacy << ": taken over, but could not be renamed to" << kept;
    qCInfo(lcTerminal) << "took over" << list.size() << "transaction(s) from" << legacy;
}

void StandInTransactions::importTransactions(const QList<Transaction>& list)
{
    LocalTransaction tx(*m_db);
    for (const Transaction& t : list) {
        QSqlQuery here = m_db->exec(QStringLiteral("SELECT 1 FROM terminal_transaction WHERE nsu = :nsu"),
                                    {{QStringLiteral("nsu"), t.nsu}});
        if (!here.next())
            m_db->exec(insertRow, TerminalTransactionsFile::rowOf(t));
    }
    tx.commit();
    qint64 highest = 0;
    for (const Transaction& t : list)
        highest = std::max(highest, t.nsu.toLongLong());
    // The counter never falls below what was handed out before.
    NsuCounter(m_file + QStringLiteral(".nsu")).atLeast(highest);
}

QString StandInTransactions::nextNsu()
{
    qint64 highest = nsuBase(m_file);
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT MAX(CAST(nsu AS INTEGER)) FROM terminal_transaction"));
    if (q.next())
        highest = std::max(highest, q.value(0).toLongLong());
    const qint64 next = NsuCounter(m_file + QStringLiteral(".nsu")).next(highest);
    return QStringLiteral("%1").arg(next, 12, 10, QLatin1Char('0'));
}

TerminalAnswer StandInTransactions::authorise(const TerminalRequest& request)
{
    TerminalAnswer answer;
    if (m_settings.mode == QLatin1String("fail")) {
        answer.resultCode = -5;
        answer.text = m_settings.errorText;
        qCWarning(lcTerminal) << "terminal failure:" << answer.text;
        return answer;
    }
    LocalTransaction tx(*m_db);
    Transaction t;
    t.nsu = nextNsu();
    t.amount = request.amount.units();
    t.cardNumber = CardNumberMask::mask(m_settings.cardNumber);
    t.description = request.description;
    t.changedAt = Clock::instance().now();
    if (!request.document.isEmpty())
        t.document = TerminalTransactionsFile::documentKey(request.document);
    if (m_settings.mode == QLatin1String("decline") || request.amount <= Money()) {
        t.state = TerminalState::Declined;
        t.text = m_settings.mode == QLatin1String("decline") ? QStringLiteral("Transação negada")
                                                             : QStringLiteral("Valor inválido");
        m_db->exec(insertRow, TerminalTransactionsFile::rowOf(t));
        tx.commit();
        answer.resultCode = 5;
        answer.text = t.text;
        qCInfo(lcTerminal) << "transaction" << t.nsu << "declined:" << t.text;
        return answer;
    }
    t.state = TerminalState::Pending;
    m_db->exec(insertRow, TerminalTransactionsFile::rowOf(t));
    tx.commit();
    answer.approved = true;
    answer.nsu = t.nsu;
    answer.cardNumber = t.cardNumber;
    answer.bankCode = m_settings.bankCode;
    answer.authorisation = t.nsu.right(6);
    answer.network = QStringLiteral("SIMULADOR");
    qCInfo(lcTerminal) << "transaction" << t.nsu << "approved, pending, card" << t.cardNumber;
    return answer;
}

void StandInTransactions::settle(const QString& nsu, TerminalState to)
{
    LocalTransaction tx(*m_db);
    const QList<Transaction> found =
        TerminalTransactionsFile::read(*m_db, QStringLiteral("WHERE nsu = :nsu"), {{QStringLiteral("nsu"), nsu}});
    if (found.isEmpty())
        throw TerminalError(QStringLiteral("Transação %1 desconhecida").arg(nsu));
    const Transaction& current = found.first();
    if (current.state == to)
        return; // a repeated confirm or undo changes nothing
    if (current.state != TerminalState::Pending)
        throw TerminalError(QStringLiteral("Transação %1 já está %2; não pode ficar %3")
                                .arg(nsu, terminalStateName(current.state), terminalStateName(to)));
    m_db->exec(QStringLiteral("UPDATE terminal_transaction SET state = :state, text = '', changed_at = :changed "
                              "WHERE nsu = :nsu"),
               {{QStringLiteral("state"), terminalStateName(to)},
                {QStringLiteral("changed"), Clock::instance().now().toString(isoFormat)},
                {QStringLiteral("nsu"), nsu}});
    tx.commit();
    qCInfo(lcTerminal) << "transaction" << nsu << terminalStateName(to);
}

void StandInTransactions::confirm(const QString& nsu)
{
    settle(nsu, TerminalState::Confirmed);
}

void StandInTransactions::undo(const QString& nsu)
{
    settle(nsu, TerminalState::Undone);
}

QList<StandInTransactions::Transaction> StandInTransactions::transactions() const
{
    return TerminalTransactionsFile::read(*m_db, QStringLiteral("ORDER BY seq"));
}

QList<StandInTransactions::Transaction> StandInTransactions::ofDocument(const FiscalDocument& document) const
{
    return TerminalTransactionsFile::read(*m_db, QStringLiteral("WHERE document = :document ORDER BY seq"),
                                          {{QStringLiteral("document"), TerminalTransactionsFile::documentKey(document)}});
}
