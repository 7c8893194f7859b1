#pragma once

#include "DataPacket.h"
#include "ModuleExport.h"

#include <QDateTime>
#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <optional>

KVB_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcJournal)

// Everything needed to record one card purchase in the store: the cash movement
// packet and the other arguments of the recording. Branch, till and NSU identify it.
struct KVB_EXPORT PurchaseRecord {
    QString nsu;
    QString CDFILIAL;
    QString CDCAIXA;
    QString CDCLIENTE;
    QString CDCONSUMIDOR;
    QString CDFAMILISALD;
    QString NRDEPOSICONS;
    QString NRCOODOCNFIS;
    QString NRGNFDOCNFIS;
    QString NRSERIEEFCDOCNF;
    QString receiptPort; // the printer that has the consumer's receipt; empty while none was printed
    double DTABERCAIX = 0;
    double DTMOVIDOCNFIS = 0;
    DataPacket packet;

    bool samePurchase(const PurchaseRecord& other) const
    {
        return nsu == other.nsu && CDFILIAL == other.CDFILIAL && CDCAIXA == other.CDCAIXA;
    }
    double amount() const; // VRMOVIVEND of the packet's first row
};

// Where a paid purchase stands. Authorised: the terminal approved it and the card
// is charged, pending; Recorded: the store committed it; Confirmed: the terminal
// was told to settle it (finished); Undone: it could not be recorded and the
// terminal cancelled it (finished).
enum class PurchaseState { Authorised, Recorded, Confirmed, Undone };
KVB_EXPORT QString purchaseStateName(PurchaseState state);

struct KVB_EXPORT JournalEntry {
    PurchaseRecord purchase;
    PurchaseState state = PurchaseState::Authorised;
    QString note; // why it was undone, or what stood in the way last time
    QDateTime at;
    bool finished() const { return state == PurchaseState::Confirmed || state == PurchaseState::Undone; }
};

// The kiosk's purchase journal: an append-only file of JSON lines beside the kiosk's
// data, one full snapshot of a purchase per change of state, synced to disk before
// each write returns. A purchase's last line gives its state. A last line torn by a
// crash is ignored; the next write starts on a line of its own.
//
//   {"v":1,"state":"authorised","at":"2026-12-08T10:15:00.000","note":"","nsu":"000000000042",
//    "CDFILIAL":"0001","CDCAIXA":"001",...,"DTABERCAIX":"2026-12-01 06:00:00.000",...,"packet":{...}}
class KVB_EXPORT PurchaseJournal
{
public:
    explicit PurchaseJournal(QString file);
    // purchase-journal.jsonl in the kiosk's data folder.
    static QString defaultFile();

    // Appends the purchase in `state`. The card number in the packet is masked again
    // on the way in. Throws KioskError when the line could not be made durable.
    void write(const PurchaseRecord& purchase, PurchaseState state, const QString& note = QString());

    // Each purchase in the order first written, in its last state.
    QList<JournalEntry> entries() const;
    QList<JournalEntry> unfinished() const;
    std::optional<JournalEntry> find(const QString& nsu, const QString& branch, const QString& till) const;
    // Lines that could not be read at the last reading (a torn last line, for one).
    int skippedLines() const { return m_skipped; }
    const QString& file() const { return m_file; }

private:
    QString m_file;
    mutable int m_skipped = 0;
};
