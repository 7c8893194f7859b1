#pragma once

#include "HostExport.h"

#include <QString>

// The coupon counters of each receipt printer: COO (operation order counter) and
// GNF (general non-fiscal counter), both advanced by every credit receipt. Kept in
// a small JSON file, replaced atomically and synced at every change, so a number
// once handed out is never handed out again, even after a crash.
class HOST_EXPORT CouponCounters
{
public:
    struct Values {
        qint64 coo = 0;
        qint64 gnf = 0;
        bool operator==(const Values&) const = default;
    };

    explicit CouponCounters(QString file);
    // The configured counters file, else printer-counters.json in the kiosk's data folder.
    static QString defaultFile();

    Values current(const QString& printer) const;
    // Reserves the next pair for `printer` and writes it to disk before returning it.
    Values advance(const QString& printer);
    // Puts `previous` back when the reserved pair was not used (the receipt did not print),
    // unless another receipt has moved the printer on since.
    void giveBack(const QString& printer, const Values& reserved, const Values& previous);

    const QString& file() const { return m_file; }

private:
    QString m_file;
};
