#include "PurchaseJournal.h"

#include "CardNumberMask.h"
#include "Clock.h"
#include "DateTimeValue.h"
#include "DurableFile.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "LocalDatabase.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSqlQuery>
#include <QUuid>

#include <sys/stat.h>

Q_LOGGING_CATEGORY(lcJournal, "kiosk.journal")

namespace
{
const QString isoFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");
// Lines written before the receipt's printer was kept read without it: no slip is due for them.
const char* const textFields[] = {"nsu",          "CDFILIAL",        "CDCAIXA",      "CDCLIENTE",
                                  "CDCONSUMIDOR", "CDFAMILISALD",    "NRDEPOSICONS", "NRCOODOCNFIS",
                                  "NRGNFDOCNFIS", "NRSERIEEFCDOCNF", "receiptPort"};

QString* textField(PurchaseRecord& p, int i)
{
    QString* fields[] = {&p.nsu,          &p.CDFILIAL,        &p.CDCAIXA,      &p.CDCLIENTE,
                         &p.CDCONSUMIDOR, &p.CDFAMILISALD,    &p.NRDEPOSICONS, &p.NRCOODOCNFIS,
                         &p.NRGNFDOCNFIS, &p.NRSERIEEFCDOCNF, &p.receiptPort};
    return fields[i];
}

DataPacket withMaskedCard(DataPacket packet)
{
    const int card = packet.fieldIndex(QStringLiteral("NRCARTBANCO"));
    if (card >= 0) {
        for (QVariantList& row : packet.rows()) {
            if (card < row.size() && row[card].isValid())
                row[card] = CardNumberMask::mask(row[card].toString());
        }
    }
    return packet;
}

QJsonObject lineOf(const PurchaseRecord& purchase, PurchaseState state, const QString& note)
{
    PurchaseRecord p = purchase;
    QJsonObject o{{QStringLiteral("v"), 2},
                  {QStringLiteral("id"), p.id},
                  {QStringLiteral("state"), purchaseStateName(state)},
                  {QStringLiteral("at"), Clock::instance().now().toString(isoFormat)},
                  {QStringLiteral("note"), note}};
    for (int i = 0; i < int(std::size(textFields)); ++i)
        o.insert(QLatin1String(textFields[i]), *textField(p, i));
    o.insert(QStringLiteral("DTABERCAIX"), DateTimeValue::toIsoText(p.DTABERCAIX));
    o.insert(QStringLiteral("DTMOVIDOCNFIS"), DateTimeValue::toIsoText(p.DTMOVIDOCNFIS));
    o.insert(QStringLiteral("packet"), QJsonDocument::fromJson(withMaskedCard(p.packet).toJson()).object());
    return o;
}

std::optional<PurchaseState> stateFromName(const QString& name)
{
    return PurchaseStates::fromName(name);
}

// A line written by this journal, or nothing when it does not read as one.
std::optional<JournalEntry> entryOf(const QJsonObject& o, const QString& file)
{
    const auto state = stateFromName(o.value(QStringLiteral("state")).toString());
    if (!state)
        return std::nullopt;
    JournalEntry e;
    e.state = *state;
    e.note = o.value(QStringLiteral("note")).toString();
    e.at = QDateTime::fromString(o.value(QStringLiteral("at")).toString(), isoFormat);
    e.purchase.id = o.value(QStringLiteral("id")).toString();
    for (int i = 0; i < int(std::size(textFields)); ++i)
        *textField(e.purchase, i) = o.value(QLatin1String(textFields[i])).toString();
    if (!DateTimeValue::parseIsoText(o.value(QStringLiteral("DTABERCAIX")).toString(), &e.purchase.DTABERCAIX) ||
        !DateTimeValue::parseIsoText(o.value(QStringLiteral("DTMOVIDOCNFIS")).toString(), &e.purchase.DTMOVIDOCNFIS))
        return std::nullopt;
    try {
        e.purchase.packet = DataPacket::fromJson(
            QJsonDocument(o.value(QStringLiteral("packet")).toObject()).toJson(QJsonDocument::Compact), file);
    } catch (const KioskError&) {
        return std::nullopt;
    }
    // Only an order written before the terminal answered has no NSU.
    if (e.purchase.nsu.isEmpty() && e.purchase.id.isEmpty())
        return std::nullopt;
    return e;
}
const QString schema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS open_purchase (id TEXT PRIMARY KEY, nsu TEXT NOT NULL, branch TEXT NOT NULL, "
    "till TEXT NOT NULL, state TEXT NOT NULL, changed_at TEXT NOT NULL, body TEXT NOT NULL, seq INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS open_purchase_nsu ON open_purchase (nsu, branch, till);"
    "CREATE TABLE IF NOT EXISTS settled_purchase (id TEXT PRIMARY KEY, nsu TEXT NOT NULL, branch TEXT NOT NULL, "
    "till TEXT NOT NULL, state TEXT NOT NULL, changed_at TEXT NOT NULL, body TEXT NOT NULL, seq INTEGER NOT NULL);"
    "CREATE INDEX IF NOT EXISTS settled_purchase_nsu ON settled_purchase (nsu, branch, till);"
    "CREATE INDEX IF NOT EXISTS settled_purchase_changed ON settled_purchase (changed_at);"
    "CREATE INDEX IF NOT EXISTS settled_purchase_seq ON settled_purchase (seq)");

QString databaseFile(const QString& file)
{
    if (file.endsWith(QLatin1String(".jsonl")))
        return file.left(file.size() - 6) + QStringLiteral(".db");
    return file;
}

QString legacyFile(const QString& db)
{
    return db.endsWith(QLatin1String(".db")) ? db.left(db.size() - 3) + QStringLiteral(".jsonl") : QString();
}

// An empty text, never NULL: an order has no NSU yet.
QString text(const QString& value)
{
    return value.isNull() ? QStringLiteral("") : value;
}

// The columns both tables must have: anything else is a journal of another shape.
const char* const columns[] = {"id", "nsu", "branch", "till", "state", "changed_at", "body", "seq"};

// What makes the opened journal unusable, empty when nothing does.
QString damageOf(LocalDatabase& db)
{
    QSqlQuery check = db.exec(QStringLiteral("PRAGMA quick_check"));
    if (check.next() && check.value(0).toString() != QLatin1String("ok"))
        return QStringLiteral("damaged: %1").arg(check.value(0).toString());
    for (const char* table : {"open_purchase", "settled_purchase"}) {
        QSqlQuery info = db.exec(QStringLiteral("PRAGMA table_info(%1)").arg(QLatin1String(table)));
        QStringList have;
        while (info.next())
            have << info.value(1).toString().toLower();
        for (const char* column : columns) {
            if (!have.contains(QLatin1String(column)))
                return QStringLiteral("table %1 has no column %2").arg(QLatin1String(table), QLatin1String(column));
        }
    }
    return QString();
}

// A failure that says the file itself is unusable, not that it is busy or out of reach.
bool isDamage(const QString& text)
{
    for (const char* sign : {"not a database", "malformed", "no such column", "has no column", "disk image"}) {
        if (text.contains(QLatin1String(sign), Qt::CaseInsensitive))
            return true;
    }
    return false;
}

// The file's identity, 0 when there is none.
quint64 inodeOf(const QString& file)
{
    struct stat st {
    };
    return ::stat(QFile::encodeName(file).constData(), &st) == 0 ? quint64(st.st_ino) : 0;
}

QVariantMap rowValues(const QString& key, const PurchaseRecord& p, PurchaseState state, const QJsonObject& body)
{
    return {{QStringLiteral("id"), key},
            {QStringLiteral("nsu"), text(p.nsu)},
            {QStringLiteral("branch"), text(p.CDFILIAL)},
            {QStringLiteral("till"), text(p.CDCAIXA)},
            {QStringLiteral("state"), purchaseStateName(state)},
            {QStringLiteral("changed"), body.value(QStringLiteral("at")).toString()},
            {QStringLiteral("body"), QString::fromUtf8(QJsonDocument(body).toJson(QJsonDocument::Compact))}};
}
} // namespace

Money PurchaseRecord::amount() const
{
    const int i = packet.fieldIndex(QStringLiteral("VRMOVIVEND"));
    if (i < 0 || packet.rows().isEmpty() || i >= packet.rows().first().size())
        return Money();
    return Money::fromUnits(packet.rows().first().at(i).toDouble(),
                            QStringLiteral("the amount of purchase %1").arg(key()));
}

QString PurchaseRecord::newId()
{
    return QUuid::createUuid().toString(QUuid::WithoutBraces);
}

QString purchaseStateName(PurchaseState state)
{
    return PurchaseStates::name(state);
}

PurchaseJournal::PurchaseJournal(QString file) : m_file(databaseFile(file))
{
    open();
    const QString legacy = legacyFile(m_file);
    if (!legacy.isEmpty() && QFile::exists(legacy))
        takeOver(legacy);
}

PurchaseJournal::~PurchaseJournal() = default;

// A damaged journal must not stop settlement: the pending charges on the terminal still have
// to be brought to an end. It is kept, renamed, for the technician, and a fresh one started.
void PurchaseJournal::open()
{
    const quint64 found = inodeOf(m_file);
    QString why;
    try {
        m_db = std::make_unique<LocalDatabase>(m_file, schema);
        why = damageOf(*m_db);
    } catch (const KioskError& e) {
        if (!isDamage(e.message()))
            throw;
        why = e.message();
    }
    if (why.isEmpty())
        return;
    m_db.reset();
    // Only the file found damaged: another opening may have set it aside and started afresh.
    if (found != 0 && inodeOf(m_file) == found) {
        const QString stamp = Clock::instance().now().toString(QStringLiteral("yyyyMMddTHHmmss"));
        QString aside = m_file + QStringLiteral(".damaged-") + stamp;
        for (int n = 2; QFile::exists(aside); ++n)
            aside = m_file + QStringLiteral(".damaged-%1-%2").arg(stamp).arg(n);
        if (!QFile::rename(m_file, aside))
            throw KioskError(QStringLiteral("%1: damaged (%2) and cannot be set aside").arg(m_file, why));
        QFile::rename(m_file + QStringLiteral("-wal"), aside + QStringLiteral("-wal"));
        QFile::remove(m_file + QStringLiteral("-shm"));
        m_setAside = aside;
        m_damage = why;
        qCCritical(lcJournal).noquote() << m_file << ":" << why << "-" << setAsideAdvice(aside);
    }
    m_db = std::make_unique<LocalDatabase>(m_file, schema);
}

QString PurchaseJournal::setAsideAdvice(const QString& setAsideFile)
{
    return QStringLiteral("the purchase journal was set aside as %1 and a fresh one started; the terminal's pending "
                          "transactions are still settled against the store. Purchases it held open may be "
                          "missing: compare it with `kioskctl terminal --all` and the store, keep it for the "
                          "technician, and delete it once reviewed")
        .arg(setAsideFile);
}

QStringList PurchaseJournal::setAsideFiles(const QString& file)
{
    const QFileInfo info(databaseFile(file));
    QStringList out;
    const QStringList names =
        info.dir().entryList({info.fileName() + QStringLiteral(".damaged-*")}, QDir::Files, QDir::Name);
    for (const QString& name : names) {
        if (!name.endsWith(QLatin1String("-wal")) && !name.endsWith(QLatin1String("-shm")))
            out << info.dir().filePath(name);
    }
    return out;
}

QString PurchaseJournal::defaultFile()
{
    return HostConfig::instance().programFolder() + QStringLiteral("/purchase-journal.db");
}

QString PurchaseJournal::lockFile(const PurchaseRecord& purchase) const
{
    QString name = purchase.key();
    name.replace(QLatin1Char('/'), QLatin1Char('_'));
    return m_file + QStringLiteral(".locks/") + name;
}

void PurchaseJournal::write(const PurchaseRecord& purchase, PurchaseState state, const QString& note)
{
    // Before the terminal's approval a purchase is known by its id alone.
    if (purchase.nsu.isEmpty() && purchase.id.isEmpty())
        throw KioskError(QStringLiteral("%1: a purchase without NSU cannot be journalled").arg(m_file));
    const QString key = purchase.key();
    const QVariantMap values = rowValues(key, purchase, state, lineOf(purchase, state, note));
    const bool finished = PurchaseStates::finished(state);
    LocalTransaction tx(*m_db);
    // The order a purchase was first written in is kept through its changes of state.
    QSqlQuery first = m_db->exec(QStringLiteral("SELECT seq, state FROM open_purchase WHERE id = :id UNION ALL "
                                                "SELECT seq, state FROM settled_purchase WHERE id = :id"),
                                 {{QStringLiteral("id"), key}});
    qint64 seq = 0;
    if (first.next()) {
        seq = first.value(0).toLongLong();
        // A step the purchase's life does not allow (a declined purchase recorded, a confirmed
        // one undone) is a fault in whoever asks for it: refused, and the entry stays as it is.
        const auto was = stateFromName(first.value(1).toString());
        if (was && !PurchaseStates::allowed(*was, state)) {
            const QString text = QStringLiteral("%1: purchase %2 cannot go from %3 to %4")
                                     .arg(m_file, key, purchaseStateName(*was), purchaseStateName(state));
            qCCritical(lcJournal).noquote() << text;
            throw KioskError(text);
        }
    } else {
        QSqlQuery next = m_db->exec(QStringLiteral("SELECT COALESCE(MAX(seq), 0) + 1 FROM (SELECT seq FROM "
                                                   "open_purchase UNION ALL SELECT MAX(seq) FROM settled_purchase)"));
        seq = next.next() ? next.value(0).toLongLong() : 1;
    }
    QVariantMap row = values;
    row.insert(QStringLiteral("seq"), seq);
    const QString insert =
        QStringLiteral("INSERT OR REPLACE INTO %1 (id, nsu, branch, till, state, changed_at, body, seq) "
                       "VALUES (:id, :nsu, :branch, :till, :state, :changed, :body, :seq)");
    if (finished) {
        m_db->exec(insert.arg(QStringLiteral("settled_purchase")), row);
        m_db->exec(QStringLiteral("DELETE FROM open_purchase WHERE id = :id"), {{QStringLiteral("id"), key}});
    } else {
        m_db->exec(insert.arg(QStringLiteral("open_purchase")), row);
        m_db->exec(QStringLiteral("DELETE FROM settled_purchase WHERE id = :id"), {{QStringLiteral("id"), key}});
    }
    tx.commit();
    qCInfo(lcJournal).noquote() << "purchase" << (purchase.nsu.isEmpty() ? key : purchase.nsu) << "of till"
                                << purchase.CDFILIAL + QLatin1Char('/') + purchase.CDCAIXA << purchaseStateName(state)
                                << note;
}

QList<JournalEntry> PurchaseJournal::read(const QString& table, const QString& where, const QVariantMap& values) const
{
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT body FROM %1 %2 ORDER BY seq").arg(table, where), values);
    QList<JournalEntry> list;
    while (q.next()) {
        const QJsonObject o = QJsonDocument::fromJson(q.value(0).toString().toUtf8()).object();
        if (const auto e = entryOf(o, m_file)) {
            JournalEntry entry = *e;
            if (entry.purchase.id.isEmpty() && entry.purchase.nsu.isEmpty())
                continue;
            list.append(entry);
        } else {
            qCWarning(lcJournal) << m_file << ": a journal row could not be read";
        }
    }
    return list;
}

QList<JournalEntry> PurchaseJournal::unfinished() const
{
    return read(QStringLiteral("open_purchase"));
}

QList<JournalEntry> PurchaseJournal::entries() const
{
    QList<JournalEntry> all = read(QStringLiteral("settled_purchase")) + read(QStringLiteral("open_purchase"));
    return all;
}

std::optional<JournalEntry> PurchaseJournal::find(const QString& nsu, const QString& branch, const QString& till) const
{
    const QString where = QStringLiteral("WHERE nsu = :nsu AND branch = :branch AND till = :till");
    const QVariantMap values{
        {QStringLiteral("nsu"), nsu}, {QStringLiteral("branch"), branch}, {QStringLiteral("till"), till}};
    QList<JournalEntry> found = read(QStringLiteral("open_purchase"), where, values);
    if (found.isEmpty())
        found = read(QStringLiteral("settled_purchase"), where, values);
    if (found.isEmpty())
        return std::nullopt;
    return found.last();
}

QList<JournalEntry> PurchaseJournal::withNsu(const QString& nsu, const QString& branch, const QString& till) const
{
    const QString where = QStringLiteral("WHERE nsu = :nsu AND branch = :branch AND till = :till");
    const QVariantMap values{
        {QStringLiteral("nsu"), nsu}, {QStringLiteral("branch"), branch}, {QStringLiteral("till"), till}};
    return read(QStringLiteral("open_purchase"), where, values) +
           read(QStringLiteral("settled_purchase"), where, values);
}

std::optional<JournalEntry> PurchaseJournal::findKey(const QString& key) const
{
    const QString where = QStringLiteral("WHERE id = :id");
    QList<JournalEntry> found = read(QStringLiteral("open_purchase"), where, {{QStringLiteral("id"), key}});
    if (found.isEmpty())
        found = read(QStringLiteral("settled_purchase"), where, {{QStringLiteral("id"), key}});
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

int PurchaseJournal::prune(int days)
{
    const QString before = Clock::instance().now().addDays(-days).toString(isoFormat);
    QSqlQuery q = m_db->exec(QStringLiteral("DELETE FROM settled_purchase WHERE changed_at < :before"),
                             {{QStringLiteral("before"), before}});
    return q.numRowsAffected();
}

int PurchaseJournal::settledCount() const
{
    QSqlQuery q = m_db->exec(QStringLiteral("SELECT COUNT(*) FROM settled_purchase"));
    return q.next() ? q.value(0).toInt() : 0;
}

void PurchaseJournal::importEntries(const QList<JournalEntry>& entries)
{
    LocalTransaction tx(*m_db);
    QSqlQuery next = m_db->exec(QStringLiteral("SELECT COALESCE(MAX(seq), 0) FROM (SELECT seq FROM open_purchase "
                                               "UNION ALL SELECT MAX(seq) FROM settled_purchase)"));
    qint64 seq = next.next() ? next.value(0).toLongLong() : 0;
    for (const JournalEntry& entry : entries) {
        const QString key = entry.purchase.key();
        QSqlQuery here = m_db->exec(QStringLiteral("SELECT 1 FROM open_purchase WHERE id = :id UNION ALL "
                                                   "SELECT 1 FROM settled_purchase WHERE id = :id"),
                                    {{QStringLiteral("id"), key}});
        if (here.next())
            continue;
        QJsonObject line = lineOf(entry.purchase, entry.state, entry.note);
        if (entry.at.isValid())
            line.insert(QStringLiteral("at"), entry.at.toString(isoFormat));
        QVariantMap row = rowValues(key, entry.purchase, entry.state, line);
        row.insert(QStringLiteral("seq"), ++seq);
        m_db->exec(QStringLiteral("INSERT INTO %1 (id, nsu, branch, till, state, changed_at, body, seq) "
                                  "VALUES (:id, :nsu, :branch, :till, :state, :changed, :body, :seq)")
                       .arg(entry.finished() ? QStringLiteral("settled_purchase") : QStringLiteral("open_purchase")),
                   row);
    }
    tx.commit();
}

// The JSON-lines journal of an earlier version: each purchase's last line, folded in one
// pass, goes in as it stood; purchases already here (a take-over interrupted after its
// commit) are left as they are. The old file is then renamed, never deleted.
void PurchaseJournal::takeOver(const QString& legacy)
{
    QByteArray content;
    {
        LockedFile file(legacy);
        content = file.readAll();
    }
    int skipped = 0;
    QHash<QString, qsizetype> index;
    QList<std::pair<JournalEntry, QJsonObject>> last;
    for (const QJsonObject& o : DurableFile::parseJsonLines(content, &skipped)) {
        const auto e = entryOf(o, legacy);
        if (!e) {
            ++skipped;
            continue;
        }
        const QString key = e->purchase.key();
        const auto it = index.constFind(key);
        if (it == index.cend()) {
            index.insert(key, last.size());
            last.append({*e, o});
        } else {
            last[*it] = {*e, o};
        }
    }
    m_skipped = skipped;
    if (skipped > 0)
        qCWarning(lcJournal) << legacy << ": skipped" << skipped << "unreadable line(s) of the purchase journal";
    QList<JournalEntry> entries;
    entries.reserve(last.size());
    for (const auto& [entry, line] : last)
        entries.append(entry);
    importEntries(entries);
    const QString kept = legacy + QStringLiteral(".taken-over");
    QFile::remove(kept);
    if (!QFile::rename(legacy, kept))
        qCWarning(lcJournal) << legacy << ": taken over, but could not be renamed to" << kept;
    qCInfo(lcJournal) << "took over" << last.size() << "purchase(s) from" << legacy;
}
