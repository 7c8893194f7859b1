#include "CouponCounters.h"

#include "DurableFile.h"
#include "HostConfig.h"
#include "KioskError.h"

#include <QFile>
#include <QJsonDocument>
#include <QJsonObject>

namespace
{
QJsonObject readPrinters(const QString& file)
{
    QFile f(file);
    if (!f.exists())
        return {};
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("%1: cannot be read (%2)").arg(file, f.errorString()));
    QJsonParseError error{};
    const QJsonDocument doc = QJsonDocument::fromJson(f.readAll(), &error);
    if (error.error != QJsonParseError::NoError || !doc.isObject())
        throw KioskError(QStringLiteral("%1: the printer counters are unreadable (%2); the file must be repaired "
                                        "before printing, so that no coupon number is repeated")
                             .arg(file, error.errorString()));
    return doc.object().value(QStringLiteral("printers")).toObject();
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

CouponCounters::Values CouponCounters::advance(const QString& printer)
{
    LockedFile lock(m_file + QStringLiteral(".lock"));
    const QJsonObject printers = readPrinters(m_file);
    Values v = valuesOf(printers, printer);
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
