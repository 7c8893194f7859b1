#include "TerminalTransactionsFile.h"

#include "HostConfig.h"
#include "LocalDatabase.h"

#include <QFileInfo>
#include <QSqlQuery>

namespace
{
const QString isoFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

// An empty text, never NULL.
QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}
} // namespace

TerminalTransactionsFile::TerminalTransactionsFile(QString file) : m_file(std::move(file)) {}

TerminalTransactionsFile::~TerminalTransactionsFile() = default;

QString TerminalTransactionsFile::defaultFile()
{
    const HostConfig& config = HostConfig::instance();
    QString file = config.terminal().transactionsFile;
    if (file.isEmpty())
        return config.programFolder() + QStringLiteral("/terminal-transactions.db");
    // An earlier version's JSON-lines name stands for the file beside it.
    if (file.endsWith(QLatin1String(".jsonl")))
        file = file.chopped(6) + QStringLiteral(".db");
    return file;
}

const QString& TerminalTransactionsFile::schema()
{
    static const QString text = QStringLiteral(
        "CREATE TABLE IF NOT EXISTS terminal_transaction (nsu TEXT PRIMARY KEY, state TEXT NOT NULL, amount REAL NOT "
        "NULL, card TEXT NOT NULL, description TEXT NOT NULL, text TEXT NOT NULL, changed_at TEXT NOT NULL, "
        "seq INTEGER NOT NULL, document TEXT NOT NULL DEFAULT '');"
        "CREATE INDEX IF NOT EXISTS terminal_transaction_state ON terminal_transaction (state);"
        "CREATE INDEX IF NOT EXISTS terminal_transaction_seq ON terminal_transaction (seq)");
    return text;
}

void TerminalTransactionsFile::upgrade(LocalDatabase& db)
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

QString TerminalTransactionsFile::documentKey(const FiscalDocument& document)
{
    return document.coupon + QLatin1Char('/') + document.date;
}

QVariantMap TerminalTransactionsFile::rowOf(const Transaction& t)
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

QList<TerminalTransactionsFile::Transaction> TerminalTransactionsFile::read(LocalDatabase& db, const QString& tail,
                                                                            const QVariantMap& values)
{
    QSqlQuery q = db.exec(QStringLiteral("SELECT nsu, state, amount, card, description, text, changed_at, document "
                                         "FROM terminal_transaction ") +
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

QList<TerminalTransactionsFile::Transaction> TerminalTransactionsFile::select(const QString& tail,
                                                                              const QVariantMap& values) const
{
    if (!QFileInfo::exists(m_file))
        return {};
    LocalDatabase db(m_file, schema());
    upgrade(db);
    return read(db, tail, values);
}

QList<TerminalTransactionsFile::Transaction> TerminalTransactionsFile::transactions() const
{
    return select(QStringLiteral("ORDER BY seq"));
}

QList<TerminalTransactionsFile::Transaction> TerminalTransactionsFile::recent(int limit) const
{
    return select(QStringLiteral("ORDER BY seq DESC LIMIT :limit"), {{QStringLiteral("limit"), limit}});
}

int TerminalTransactionsFile::count() const
{
    if (!QFileInfo::exists(m_file))
        return 0;
    LocalDatabase db(m_file, schema());
    QSqlQuery q = db.exec(QStringLiteral("SELECT COUNT(*) FROM terminal_transaction"));
    return q.next() ? q.value(0).toInt() : 0;
}

QList<TerminalTransactionsFile::Transaction> TerminalTransactionsFile::ofDocument(const FiscalDocument& document) const
{
    return select(QStringLiteral("WHERE document = :document ORDER BY seq"),
                  {{QStringLiteral("document"), documentKey(document)}});
}
