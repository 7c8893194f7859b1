#pragma once

#include "HostExport.h"
#include "PaymentTerminal.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <QVariantMap>

class LocalDatabase;

// The transactions file our stand-in card-payment library keeps (terminal-transactions.db,
// one row per transaction in its last state), read for the technician and the daily
// reconciliation. Only the stand-in writes it; this reader never creates it: a file that
// is not there holds no transaction. The file's layout lives here, for both sides.
class HOST_EXPORT TerminalTransactionsFile
{
public:
    struct Transaction {
        QString nsu;
        TerminalState state = TerminalState::Pending;
        double amount = 0;
        QString cardNumber; // masked
        QString description;
        QString text;
        QDateTime changedAt;
        QString document; // the fiscal document's key (documentKey()), empty before it had one
    };

    explicit TerminalTransactionsFile(QString file);
    ~TerminalTransactionsFile();
    // [terminal] transactions (KIOSK_TERMINAL_FILE), else data folder/terminal-transactions.db.
    static QString defaultFile();
    // The file's tables, and the column an earlier version lacked; for the stand-in that writes it.
    static const QString& schema();
    static void upgrade(LocalDatabase& db);
    static QString documentKey(const FiscalDocument& document);
    // The row of a transaction, as the stand-in writes it.
    static QVariantMap rowOf(const Transaction& t);
    // Transactions from an "SELECT ... FROM terminal_transaction" of selectColumns().
    static QList<Transaction> read(LocalDatabase& db, const QString& tail, const QVariantMap& values = {});

    const QString& file() const { return m_file; }
    // In the order first seen, each in its last state.
    QList<Transaction> transactions() const;
    // The `limit` most recent, most recent first.
    QList<Transaction> recent(int limit) const;
    int count() const;
    // The transactions of a fiscal document, in the order first seen.
    QList<Transaction> ofDocument(const FiscalDocument& document) const;

private:
    QList<Transaction> select(const QString& tail, const QVariantMap& values = {}) const;
    QString m_file;
};
