#pragma once

#include "HostExport.h"

#include <QString>
#include <functional>

// The coupon counters of each receipt printer: COO (operation order counter) and
// GNF (general non-fiscal counter), both advanced by every credit receipt. Kept in
// a small JSON file, replaced atomically and synced at every change, so a number
// once handed out is never handed out again, even after a crash. When the file is lost
// or damaged, the counters continue from the store's highest numbers for the printer's
// till (the store floor), which the module registers; without one a damaged file
// refuses printing. A file that is not the kiosk's own is never written over.
class HOST_EXPORT CouponCounters
{
public:
    struct Values {
        qint64 coo = 0;
        qint64 gnf = 0;
        bool operator==(const Values&) const = default;
    };
    // Whose coupons a printer prints: the store keeps them by branch, till and printer serial.
    struct Owner {
        QString branch;
        QString till;
        QString serial;
    };
    // The highest COO and GNF the store holds for an owner; throws when the store cannot tell.
    using StoreFloor = std::function<Values(const Owner&)>;
    // Registers the store floor (an empty function removes it).
    static void setStoreFloor(StoreFloor floor);

    explicit CouponCounters(QString file);
    // The configured counters file, else printer-counters.json in the kiosk's data folder.
    static QString defaultFile();

    Values current(const QString& printer) const;
    // Reserves the next pair for `printer` and writes it to disk before returning it. When the
    // file has no pair for `printer` (lost, damaged or never written) and a store floor is
    // registered, the pair continues from the store's highest for `owner`; `previous`, when
    // given, receives the pair the reserved one follows.
    Values advance(const QString& printer, const Owner& owner = Owner(), Values* previous = nullptr);
    // Puts `previous` back when the reserved pair was not used (the receipt did not print),
    // unless another receipt has moved the printer on since.
    void giveBack(const QString& printer, const Values& reserved, const Values& previous);

    const QString& file() const { return m_file; }
    // Why `file` cannot hold the counters (not the kiosk's own, damaged, unreadable), or empty
    // when it can (also when it does not exist yet).
    static QString problem(const QString& file);

private:
    QString m_file;
};
