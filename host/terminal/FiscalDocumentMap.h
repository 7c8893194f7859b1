#pragma once

#include "HostExport.h"
#include "PaymentTerminal.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <optional>

// The card payments the kiosk started through a CliSiTef library, each under its own
// fiscal document, in a small SQLite file beside the purchase journal. The library
// settles by fiscal document while the kiosk's callers name the NSU: this map joins
// the two, and survives a crash, so a settlement after a restart can still confirm or
// undo. A document is written before the library is asked (state "started"), gets its
// NSU with the approval, and ends confirmed, undone or declined. The file is opened
// for each operation, so any thread may use the map.
class HOST_EXPORT FiscalDocumentMap
{
public:
    enum class State { Started, Approved, Declined, Confirmed, Undone };
    struct Entry {
        FiscalDocument document;
        QString server;
        QString nsu;
        Money amount;
        State state = State::Started;
        QDateTime changedAt;
        qint64 process = 0; // the process that started it
    };

    explicit FiscalDocumentMap(QString file) : m_file(std::move(file)) {}
    // data folder/terminal-documents.db
    static QString defaultFile();
    const QString& file() const { return m_file; }

    // Records a payment about to start. An empty `requested` gets a coupon of its own, the
    // next number of the file (never reused). Throws TerminalError when the document is taken.
    FiscalDocument start(FiscalDocument requested, const QString& server, Money amount);
    void approve(const FiscalDocument& document, const QString& nsu);
    void end(const FiscalDocument& document, State state);
    std::optional<Entry> byNsu(const QString& nsu) const;
    // Started or approved, in the order started.
    QList<Entry> open() const;
    // Started and never approved nor ended, by this process (whose sale has ended since,
    // the caller knows) or by one that is gone: the sale was abandoned mid-way.
    static bool abandoned(const Entry& entry);

private:
    QString m_file;
};
