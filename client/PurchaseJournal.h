#pragma once

#include "DataPacket.h"
#include "ModuleExport.h"
#include "Money.h"
#include "PurchaseStates.h"

#include <QDateTime>
#include <QList>
#include <QLoggingCategory>
#include <QString>
#include <QStringList>
#include <memory>
#include <optional>

class LocalDatabase;

KVB_EXPORT Q_DECLARE_LOGGING_CATEGORY(lcJournal)

// Everything needed to record one card purchase in the store: the cash movement
// packet and the other arguments of the recording. A purchase is known by its id,
// given when it is ordered (before the terminal is asked); one written without an
// id (by an earlier version) is known by branch, till and NSU.
struct KVB_EXPORT PurchaseRecord {
    QString id;
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

    QString key() const { return id.isEmpty() ? nsu + QLatin1Char('/') + CDFILIAL + QLatin1Char('/') + CDCAIXA : id; }
    bool samePurchase(const PurchaseRecord& other) const { return key() == other.key(); }
    static QString newId();
    // VRMOVIVEND of the packet's first row (0 without one), through the one rounding of a binary
    // amount; throws KioskError for a value no store column holds.
    Money amount() const;
};

KVB_EXPORT QString purchaseStateName(PurchaseState state);

struct KVB_EXPORT JournalEntry {
    PurchaseRecord purchase;
    PurchaseState state = PurchaseState::Authorised;
    QString note; // why it was undone, or what stood in the way last time
    QDateTime at;
    bool finished() const { return PurchaseStates::finished(state); }
};

// The kiosk's purchase journal: a local SQLite file beside the kiosk's data (write-ahead
// log, every commit synced), one row per purchase holding its last full snapshot.
// Open purchases and settled ones are kept apart: a start reads only the open ones,
// whatever the history; the settled ones are an archive for the technician, which
// `prune()` trims. A journal of JSON lines left by an earlier version (same name,
// ".jsonl") is taken over at the first opening, its open purchases kept open.
class KVB_EXPORT PurchaseJournal
{
public:
    // `file` is the journal (purchase-journal.db); a path ending in ".jsonl" names the
    // journal beside it with ".db", taking that file over.
    explicit PurchaseJournal(QString file);
    ~PurchaseJournal();
    // purchase-journal.db in the kiosk's data folder.
    static QString defaultFile();

    // Keeps the purchase in `state`. The card number in the packet is masked again on
    // the way in. Throws KioskError when it could not be made durable.
    void write(const PurchaseRecord& purchase, PurchaseState state, const QString& note = QString());

    // Open purchases in the order first written, each in its last state.
    QList<JournalEntry> unfinished() const;
    // Every purchase of a till with this NSU, open ones first: terminals hand NSUs out again
    // (per day, or from the start after their files were lost), so one NSU may name several.
    QList<JournalEntry> withNsu(const QString& nsu, const QString& branch, const QString& till) const;
    // Every purchase, open and settled (the archive): for the technician and tests.
    QList<JournalEntry> entries() const;
    std::optional<JournalEntry> find(const QString& nsu, const QString& branch, const QString& till) const;
    std::optional<JournalEntry> findKey(const QString& key) const;
    // Adds purchases in one transaction, each in its state; purchases already here stay as they
    // are. The take-over of an earlier journal goes through here.
    void importEntries(const QList<JournalEntry>& entries);
    // Removes settled purchases last changed more than `days` days ago; how many.
    int prune(int days);
    // Settled purchases in the archive.
    int settledCount() const;
    // Lines of a taken-over JSON-lines journal that could not be read (a torn last line, for one).
    int skippedLines() const { return m_skipped; }
    const QString& file() const { return m_file; }
    // The lock file that keeps one settler per purchase: named by the purchase's id from its
    // order to its end, whoever settles it (an entry of an earlier version without an id keeps
    // its branch, till and NSU).
    QString lockFile(const PurchaseRecord& purchase) const;

    // A journal that could not be used (cut short, not a database, tables of another shape) is
    // renamed "<file>.damaged-<time>" and a fresh one started: settlement must go on. The file it
    // became and why, empty when this opening found nothing wrong.
    const QString& setAsideFile() const { return m_setAside; }
    const QString& damage() const { return m_damage; }
    // What a technician is told to do with a journal set aside.
    static QString setAsideAdvice(const QString& setAsideFile);
    // The journals set aside beside `file` so far, oldest first.
    static QStringList setAsideFiles(const QString& file);

private:
    void open();
    void takeOver(const QString& legacy);
    QList<JournalEntry> read(const QString& table, const QString& where = QString(),
                             const QVariantMap& values = {}) const;

    QString m_file;
    std::unique_ptr<LocalDatabase> m_db;
    int m_skipped = 0;
    QString m_setAside;
    QString m_damage;
};
