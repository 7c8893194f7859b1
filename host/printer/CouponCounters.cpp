#include "CouponCounters.h"

#include "DurableFile.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "PrinterLogging.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
CouponCounters::StoreFloor& storeFloor()
{
    static CouponCounters::StoreFloor floor;
    return floor;
}

// Only a file that is ours, or was ours before it was damaged, may be rewritten.
class ForeignFile : public KioskError
{
public:
    using KioskError::KioskError;
};

// Ours: one JSON object holding only "printers". Damaged but ours: empty, or an object that
// names "printers" but does not read whole. Anything else belongs to someone else.
QJsonObject readPrinters(const QString& file)
{
    QFile f(file);
    if (!f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("%1: cannot be read (%2)").arg(file, f.errorString()));
    const QByteArray bytes = f.readAll();
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(bytes, &error);
    const bool ours = error.error == QJsonParseError::NoError && doc.isObject() &&
                      doc.object().keys() == QStringList{QStringLiteral("printers")} &&
                      doc.object().value(QStringLiteral("printers")).isObject();
    if (ours)
        return doc.object().value(QStringLiteral("printers")).toObject();
    const QByteArray trimmed = bytes.trimmed();
    if (!trimmed.isEmpty() && !(trimmed.startsWith('{') && trimmed.contains("\"printers\"")))
        throw ForeignFile(QStringLiteral("%1 is not a printer counters file: the kiosk does not write over it "
                                         "(point the counters setting at a file of the kiosk's own)")
                              .arg(file));
    throw KioskError(QStringLiteral("%1: the printer counters are unreadable (%2); the file must be repaired "
                                    "before printing, so that no coupon number is repeated")
                         .arg(file, error.error == QJsonParseError::NoError ? QStringLiteral("not the counters' layout")
                                                                            : error.errorString()));
}

CouponCounters::Values valuesOf(const QJsonObject& printers, const QString& printer)
{
    const QJsonObject o = printers.value(printer).toObject();
    return {qint64(o.value(QStringLiteral("coo")).toDouble()), qint64(o.value(QStringLiteral("gnf")).toDouble())};
}

void write(const QString& file, QJsonObject printers, const QString& printer, const CouponCounters::Values& v)
{
    printers.insert(printer,
                    QJsonObject{{QStringLiteral("coo"), double(v.coo)}, {QStringLiteral("gnf"), double(v.gnf)}});
    DurableFile::replaceAtomically(file, QJsonDocument(QJsonObject{{QStringLiteral("printers"), printers}}).toJson());
}
} // namespace

CouponCounters::CouponCounters(QString file) : m_file(std::move(file)) {}

QString CouponCounters::problem(const QString& file)
{
    try {
        readPrinters(file);
    } catch (const KioskError& e) {
        return e.message();
    }
    return QString();
}

QString CouponCounters::defaultFile()
{
    const HostConfig& config = HostConfig::instance();
    if (!config.printer().countersFile.isEmpty())
        return config.printer().countersFile;
    return config.programFolder() + QStringLiteral("/printer-counters.json");
}

CouponCounters::Values CouponCounters::current(const QString& printer) const
{
    LockedFile lock(m_file + QStringLiteral(".lock"));
    return valuesOf(readPrinters(m_file), printer);
}

void CouponCounters::setStoreFloor(StoreFloor floor)
{
    storeFloor() = std::move(floor);
}

CouponCounters::Values CouponCounters::advance(const QString& printer, const Owner& owner, Values* previous)
{
    LockedFile lock(m_file + QStringLiteral(".lock"));
    const StoreFloor& floor = storeFloor();
    QJsonObject printers;
    QString damage;
    try {
        printers = readPrinters(m_file);
    } catch (const ForeignFile&) {
        throw;
    } catch (const KioskError& e) {
        if (!floor)
            throw;
        damage = e.message(); // rewritten below, this printer's pair taken from the store
    }
    Values v = valuesOf(printers, printer);
    if (!printers.contains(printer) && floor) {
        const Values highest = floor(owner);
        v = {qMax(v.coo, highest.coo), qMax(v.gnf, highest.gnf)};
        qCWarning(lcPrinting).noquote()
            << QStringLiteral("coupon counters of printer %1 %2: COO and GNF continue from the store's highest for "
                              "branch %3, till %4 (COO %5, GNF %6)")
                   .arg(printer,
                        damage.isEmpty() ? QStringLiteral("not in %1").arg(m_file)
                                         : QStringLiteral("unreadable (%1)").arg(damage),
                        owner.branch, owner.till)
                   .arg(highest.coo)
                   .arg(highest.gnf);
    }
    if (previous)
        *previous = v;
    // Six-digit counters wrap as a printer's would.
    v.coo = v.coo % 999999 + 1;
    v.gnf = v.gnf % 999999 + 1;
    write(m_file, printers, printer, v);
    return v;
}

void CouponCounters::giveBack(const QString& printer, const Values& reserved, const Values& previous)
{
    LockedFile lock(m_file + QStringLiteral(".lock"));
    const QJsonObject printers = readPrinters(m_file);
    if (valuesOf(printers, printer) == reserved)
        write(m_file, printers, printer, previous);
}
