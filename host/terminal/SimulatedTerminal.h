#pragma once

#include "DeviceSettings.h"
#include "HostExport.h"
#include "PaymentTerminal.h"

#include <QDateTime>
#include <QList>
#include <QVariantMap>
#include <functional>
#include <memory>

class LocalDatabase;

// A card-payment server on the kiosk itself, answering as the configuration says.
// It keeps its transactions in a local SQLite file (one row each, synced on every
// change), so its answers survive a restart and a test or the technician can see how
// each purchase ended; a JSON-lines file of an earlier version (same name, ".jsonl")
// is taken over at the first opening. NSUs come from a counter file of their own,
// synced before a number is handed out and never below the highest NSU seen, so a
// lost or damaged transactions file never makes a number come round again. The card
// number given out is the configured one unmasked, as a real server's would be;
// callers mask it.
class HOST_EXPORT SimulatedTerminal : public PaymentTerminal
{
public:
    // Waits `ms` milliseconds while the kiosk keeps handling events.
    using Sleeper = std::function<void(int ms)>;

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

    // `file` is the transactions file (terminal-transactions.db); a path ending in ".jsonl"
    // names the file beside it with ".db", taking that one over.
    SimulatedTerminal(TerminalSettings settings, QString file, Sleeper sleeper = {});
    ~SimulatedTerminal() override;
    // From the kiosk configuration: its [terminal] section and the data folder.
    static QString defaultFile();

    TerminalAnswer authorise(const TerminalRequest& request) override;
    void confirm(const QString& nsu) override;
    void undo(const QString& nsu) override;
    std::optional<TerminalState> status(const QString& nsu) override;
    QList<PendingTransaction> pending() override;

    // Transactions in the order first seen, each in its last state; with `limit`, only the
    // most recent ones (most recent first).
    QList<Transaction> transactions() const;
    QList<Transaction> recent(int limit) const;
    int count() const;
    // The transactions of a fiscal document, in the order first seen.
    QList<Transaction> ofDocument(const FiscalDocument& document) const;
    static QString documentKey(const FiscalDocument& document);
    // Adds transactions in one database transaction; NSUs already here stay as they are, and
    // the NSU counter rises above the highest. The take-over of an earlier file goes through here.
    void importTransactions(const QList<Transaction>& list);
    const QString& file() const { return m_file; }
    TerminalSettings& settings() { return m_settings; }

private:
    void settle(const QString& nsu, TerminalState to);
    QString nextNsu();
    void takeOver(const QString& legacy);
    QList<Transaction> select(const QString& tail, const QVariantMap& values = {}) const;

    TerminalSettings m_settings;
    QString m_file;
    Sleeper m_sleeper;
    std::unique_ptr<LocalDatabase> m_db;
};
