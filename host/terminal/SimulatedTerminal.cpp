#include "SimulatedTerminal.h"

#include "CardNumberMask.h"
#include "Clock.h"
#include "DurableFile.h"
#include "EventPause.h"
#include "HostConfig.h"
#include "LocalDatabase.h"
#include "NsuCounter.h"
#include "TerminalLogging.h"

#include <QCoreApplication>
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
QList<SimulatedTerminal::Transaction> fold(const QByteArray& content, const QString& file)
{
    int skipped = 0;
    QList<SimulatedTerminal::Transaction> list;
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
            list.append(SimulatedTerminal::Transaction{});
        }
        SimulatedTerminal::Transaction& t = list[*found];
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

const QString schema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS terminal_transaction (nsu TEXT PRIMARY KEY, state TEXT NOT NULL, amount REAL NOT NULL, "
    "card TEXT NOT NULL, description TEXT NOT NULL, text TEXT NOT NULL, changed_at TEXT NOT NULL, "
    "seq INTEGER NOT NULL, document TEXT NOT NULL DEFAULT '');"
    "CREATE INDEX IF NOT EXISTS terminal_transaction_state ON terminal_transaction (state);"
    "CREATE INDEX IF NOT EXISTS terminal_transaction_seq ON terminal_transaction (seq)");

QString databaseFile(const QString& file)
{
    return file.endsWith(QLatin1String(".jsonl")) ? file.left(file.size() - 6) + QStringLiteral(".db") : file;
}

// An empty text, never NULL.
QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

QVariantMap rowOf(const SimulatedTerminal::Transaction& t)
{
    return {{QStringLiteral("nsu"), t.nsu},
            {QStringLiteral("state"), terminalStateName(t.state)},
            {QStringLiteral("amount"), t.amount},
            {QStringLiteral("card"), text(t.cardNumber)},
            {QStringLiteral("description"), text(t.description)},
            {QStringLiteral("text"), text(t.text)},
            {QStringLiteral("changed"), text(t.changedAt.toString(isoFormat))},
            {QStringLiteral("document"), text(t.document)}};
}

const QString insertRow =
    QStringLiteral("INSERT INTO terminal_transaction (nsu, state, amount, card, description, text, changed_at, seq, "
                   "document) VALUES (:nsu, :state, :amount, :card, :description, :text, :changed, "
                   "(SELECT COALESCE(MAX(seq), 0) + 1 FROM terminal_transaction), :document)");

// A file of an earlier version has no document column yet.
void addDocumentColumn(LocalDatabase& db)
{
    bool present = false;
    QSqlQuery q = db.exec(QStringLiteral("PRAGMA table_info(terminal_transaction)"));
    while (q.next())
        present = present || q.value(1).toString() == QLatin1String("document");
    if (!present)
        db.exec(QStringLiteral("ALTER TABLE terminal_transaction ADD COLUMN document TEXT NOT NULL DEFAULT ''"));
    db.exec(QStringLiteral("CREATE INDEX IF NOT EXISTS terminal_transaction_document ON terminal_transaction "
                           "(document)"));
}
} // namespace

SimulatedTerminal::SimulatedTerminal(TerminalSettings settings, QString file, Sleeper sleeper)
    : m_settings(std::move(settings)), m_file(databaseFile(file)),
      m_sleeper(sleeper ? std::move(sleeper) : Sleeper(&EventPause::forMs)),
      m_db(std::make_unique<LocalDatabase>(m_file, schema))
{
    addDocumentColumn(*m_db);
    const QString legacy =
        m_file.endsWith(QLatin1String(".db")) ? m_file.chopped(3) + QStringLiteral(".jsonl") : QString();
    if (!legacy.isEmpty() && QFile::exists(legacy))
        takeOver(legacy);
}

SimulatedTerminal::~SimulatedTerminal() = default;

void SimulatedTerminal::takeOver(const QString& legacy)
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

void SimulatedTerminal::importTransactions(const QList<Transaction>& list)
{
    LocalTransaction tx(*m_db);
    for (const Transaction& t : list) {
        QSqlQuery here = m_db->exec(QStringLiteral("SELECT 1 FROM terminal_transaction WHERE nsu = :nsu"),
                                    {{QStringLiteral("nsu"), t.nsu}});
        if (!here.next())
            m_db->exec(insertRow, rowOf(t));
    }
    tx.commit();
    qint64 highest = 0;
    for (const Transaction& t : list)
        highest = std::max(highest, t.nsu.toLongLong());
    // The counter never falls below what was handed out before.
    NsuCounter(m_file + QStringLiteral(".nsu")).atLeast(highest);
}

QString SimulatedTerminal::nextNsu()
{
    qint64 highest = nsuBase(m_file);
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT MAX(CAST(nsu AS INTEGER)) FROM terminal_transaction"));
    if (q.next())
        highest = std::max(highest, q.value(0).toLongLong());
    const qint64 next = NsuCounter(m_file + QStringLiteral(".nsu")).next(highest);
    return QStringLiteral("%1").arg(next, 12, 10, QLatin1Char('0'));
}

QString SimulatedTerminal::defaultFile()
{
    const HostConfig& config = HostConfig::instance();
    if (!config.terminal().transactionsFile.isEmpty())
        return config.terminal().transactionsFile;
    return config.programFolder() + QStringLiteral("/terminal-transactions.db");
}

TerminalAnswer SimulatedTerminal::authorise(const TerminalRequest& request)
{
    // The card holder's time is spent at the terminal's two prompts, half at each.
    display(QCoreApplication::translate("SimulatedTerminal", "Insira ou aproxime o cartão"));
    m_sleeper(m_settings.delayMs / 2);
    TerminalAnswer answer;
    if (m_settings.mode == QLatin1String("fail")) {
        answer.resultCode = -5;
        answer.text = m_settings.errorText;
        display(answer.text);
        qCWarning(lcTerminal) << "terminal failure:" << answer.text;
        return answer;
    }
    display(QCoreApplication::translate("SimulatedTerminal", "Digite a senha"));
    m_sleeper(m_settings.delayMs - m_settings.delayMs / 2);

    LocalTransaction tx(*m_db);
    Transaction t;
    t.nsu = nextNsu();
    t.amount = request.amount.units();
    t.cardNumber = CardNumberMask::mask(m_settings.cardNumber);
    t.description = request.description;
    t.changedAt = Clock::instance().now();
    if (!request.document.isEmpty())
        t.document = documentKey(request.document);
    if (m_settings.mode == QLatin1String("decline") || request.amount <= Money()) {
        t.state = TerminalState::Declined;
        t.text = m_settings.mode == QLatin1String("decline") ? QStringLiteral("Transação negada")
                                                             : QStringLiteral("Valor inválido");
        m_db->exec(insertRow, rowOf(t));
        tx.commit();
        answer.resultCode = 5;
        answer.text = t.text;
        display(m_settings.mode == QLatin1String("decline")
                    ? QCoreApplication::translate("SimulatedTerminal", "Transação negada")
                    : QCoreApplication::translate("SimulatedTerminal", "Valor inválido"));
        qCInfo(lcTerminal) << "transaction" << t.nsu << "declined:" << t.text;
        return answer;
    }
    t.state = TerminalState::Pending;
    m_db->exec(insertRow, rowOf(t));
    tx.commit();
    answer.approved = true;
    answer.nsu = t.nsu;
    answer.cardNumber = m_settings.cardNumber;
    answer.bankCode = m_settings.bankCode;
    answer.authorisation = t.nsu.right(6);
    answer.network = QStringLiteral("SIMULADOR");
    display(QCoreApplication::translate("SimulatedTerminal", "Transação aprovada"));
    qCInfo(lcTerminal) << "transaction" << t.nsu << "approved, pending, card" << t.cardNumber;
    return answer;
}

void SimulatedTerminal::settle(const QString& nsu, TerminalState to)
{
    LocalTransaction tx(*m_db);
    const QList<Transaction> found = select(QStringLiteral("WHERE nsu = :nsu"), {{QStringLiteral("nsu"), nsu}});
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

void SimulatedTerminal::confirm(const QString& nsu)
{
    settle(nsu, TerminalState::Confirmed);
}

void SimulatedTerminal::undo(const QString& nsu)
{
    settle(nsu, TerminalState::Undone);
}

std::optional<TerminalState> SimulatedTerminal::status(const QString& nsu)
{
    const QList<Transaction> found = select(QStringLiteral("WHERE nsu = :nsu"), {{QStringLiteral("nsu"), nsu}});
    if (found.isEmpty())
        return std::nullopt;
    return found.first().state;
}

QList<PendingTransaction> SimulatedTerminal::pending()
{
    QList<PendingTransaction> list;
    for (const Transaction& t : select(QStringLiteral("WHERE state = 'pending' ORDER BY seq")))
        list.append({t.nsu, Money::fromUnits(t.amount, QStringLiteral("the amount of NSU ") + t.nsu), t.changedAt});
    return list;
}

QList<SimulatedTerminal::Transaction> SimulatedTerminal::select(const QString& tail, const QVariantMap& values) const
{
    QSqlQuery q = m_db->exec(
        QStringLiteral("SELECT nsu, state, amount, card, description, text, changed_at, document FROM terminal_transaction ") +
            tail,
        values);
    QList<Transaction> list;
    while (q.next()) {
        Transaction t;
        t.nsu = q.value(0).toString();
        t.state = terminalStateFromName(q.value(1).toString()).value_or(TerminalState::Pending);
        t.amount = q.value(2).toDouble();
        t.cardNumber = q.value(3).toString();
        t.description = q.value(4).toString();
        t.text = q.value(5).toString();
        t.changedAt = QDateTime::fromString(q.value(6).toString(), isoFormat);
        t.document = q.value(7).toString();
        list.append(t);
    }
    return list;
}

QList<SimulatedTerminal::Transaction> SimulatedTerminal::transactions() const
{
    return select(QStringLiteral("ORDER BY seq"));
}

QList<SimulatedTerminal::Transaction> SimulatedTerminal::recent(int limit) const
{
    return select(QStringLiteral("ORDER BY seq DESC LIMIT :limit"), {{QStringLiteral("limit"), limit}});
}

int SimulatedTerminal::count() const
{
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT COUNT(*) FROM terminal_transaction"));
    return q.next() ? q.value(0).toInt() : 0;
}

QString SimulatedTerminal::documentKey(const FiscalDocument& document)
{
    return document.coupon + QLatin1Char('/') + document.date;
}

QList<SimulatedTerminal::Transaction> SimulatedTerminal::ofDocument(const FiscalDocument& document) const
{
    return select(QStringLiteral("WHERE document = :document ORDER BY seq"),
                  {{QStringLiteral("document"), documentKey(document)}});
}
