#include "PurchaseJournal.h"

#include "CardNumberMask.h"
#include "Clock.h"
#include "DateTimeValue.h"
#include "DurableFile.h"
#include "HostConfig.h"
#include "KioskError.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

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
    QJsonObject o{{QStringLiteral("v"), 1},
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
    for (PurchaseState s :
         {PurchaseState::Authorised, PurchaseState::Recorded, PurchaseState::Confirmed, PurchaseState::Undone}) {
        if (purchaseStateName(s) == name)
            return s;
    }
    return std::nullopt;
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
    if (e.purchase.nsu.isEmpty())
        return std::nullopt;
    return e;
}
} // namespace

double PurchaseRecord::amount() const
{
    const int i = packet.fieldIndex(QStringLiteral("VRMOVIVEND"));
    if (i < 0 || packet.rows().isEmpty() || i >= packet.rows().first().size())
        return 0;
    return packet.rows().first().at(i).toDouble();
}

QString purchaseStateName(PurchaseState state)
{
    switch (state) {
    case PurchaseState::Authorised:
        return QStringLiteral("authorised");
    case PurchaseState::Recorded:
        return QStringLiteral("recorded");
    case PurchaseState::Confirmed:
        return QStringLiteral("confirmed");
    case PurchaseState::Undone:
        return QStringLiteral("undone");
    }
    return QString();
}

PurchaseJournal::PurchaseJournal(QString file) : m_file(std::move(file)) {}

QString PurchaseJournal::defaultFile()
{
    return HostConfig::instance().programFolder() + QStringLiteral("/purchase-journal.jsonl");
}

void PurchaseJournal::write(const PurchaseRecord& purchase, PurchaseState state, const QString& note)
{
    if (purchase.nsu.isEmpty())
        throw KioskError(QStringLiteral("%1: a purchase without NSU cannot be journalled").arg(m_file));
    LockedFile file(m_file);
    file.appendJson(lineOf(purchase, state, note));
    qCInfo(lcJournal).noquote() << "purchase" << purchase.nsu << "of till"
                                << purchase.CDFILIAL + QLatin1Char('/') + purchase.CDCAIXA << purchaseStateName(state)
                                << note;
}

QList<JournalEntry> PurchaseJournal::entries() const
{
    QByteArray content;
    {
        QFile f(m_file);
        if (f.exists()) {
            LockedFile file(m_file);
            content = file.readAll();
        }
    }
    int skipped = 0;
    QList<JournalEntry> list;
    for (const QJsonObject& o : DurableFile::parseJsonLines(content, &skipped)) {
        const auto e = entryOf(o, m_file);
        if (!e) {
            ++skipped;
            continue;
        }
        auto it = std::find_if(list.begin(), list.end(),
                               [&](const JournalEntry& x) { return x.purchase.samePurchase(e->purchase); });
        if (it == list.end())
            list.append(*e);
        else
            *it = *e;
    }
    m_skipped = skipped;
    if (skipped > 0)
        qCWarning(lcJournal) << m_file << ": skipped" << skipped << "unreadable line(s) of the purchase journal";
    return list;
}

QList<JournalEntry> PurchaseJournal::unfinished() const
{
    QList<JournalEntry> list = entries();
    list.removeIf([](const JournalEntry& e) { return e.finished(); });
    return list;
}

std::optional<JournalEntry> PurchaseJournal::find(const QString& nsu, const QString& branch, const QString& till) const
{
    for (const JournalEntry& e : entries()) {
        if (e.purchase.nsu == nsu && e.purchase.CDFILIAL == branch && e.purchase.CDCAIXA == till)
            return e;
    }
    return std::nullopt;
}
