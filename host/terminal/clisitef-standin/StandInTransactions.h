#pragma once

#include "DeviceSettings.h"
#include "PaymentTerminal.h"
#include "TerminalTransactionsFile.h"

#include <QList>
#include <memory>

class LocalDatabase;

// The stand-in library's card-payment server: answers as the [terminal] settings say
// (approve, decline, fail) and keeps its transactions in a local SQLite file (one row
// each, synced on every change, TerminalTransactionsFile's layout), so its answers
// survive a restart and a test or the technician can see how each purchase ended. A
// JSON-lines file of an earlier version (same name, ".jsonl") is taken over at the first
// opening. NSUs come from a counter file of their own, synced before a number is handed
// out and never below the highest NSU seen, so a lost or damaged transactions file never
// makes a number come round again. It keeps only the card number masked.
class StandInTransactions
{
public:
    using Transaction = TerminalTransactionsFile::Transaction;

    // `file` is the transactions file; a path ending in ".jsonl" names the file beside
    // it with ".db", taking that one over.
    StandInTransactions(TerminalSettings settings, QString file);
    ~StandInTransactions();

    // Approves (pending), declines or fails as the settings say; `request.document` keys it.
    TerminalAnswer authorise(const TerminalRequest& request);
    // Settles a pending transaction; the same again is harmless. Throws TerminalError.
    void confirm(const QString& nsu);
    void undo(const QString& nsu);
    // The transactions of a fiscal document, in the order first seen.
    QList<Transaction> ofDocument(const FiscalDocument& document) const;
    QList<Transaction> transactions() const;
    // Adds transactions in one database transaction; NSUs already here stay as they are, and
    // the NSU counter rises above the highest. The take-over of an earlier file goes through here.
    void importTransactions(const QList<Transaction>& list);
    const QString& file() const { return m_file; }

private:
    void settle(const QString& nsu, TerminalState to);
    QString nextNsu();
    void takeOver(const QString& legacy);

    TerminalSettings m_settings;
    QString m_file;
    std::unique_ptr<LocalDatabase> m_db;
};
