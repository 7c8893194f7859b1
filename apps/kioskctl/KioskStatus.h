#pragma once

#include <QByteArray>
#include <QString>
#include <QStringList>
#include <optional>

// `kioskctl status`: what a technician or a monitor needs to know about a kiosk.
// Healthy when the store answers, the terminal answers, the printer can be
// reached, no paid purchase waits in the journal, no journal was set aside as
// damaged and every balance agrees with its statement lines; degraded when the
// store answers but something else does not; down when the store does not
// answer (no consumer can be served).
class KioskStatus
{
public:
    enum class Health { Healthy = 0, Degraded = 1, Down = 2 };

    struct Check {
        bool ok = false;
        QString detail;
    };

    // Runs every check against the configured store and the data folder.
    static KioskStatus gather(const QString& dataFolder);

    Health health() const;
    QString text() const;
    QByteArray json() const;

    Check store;
    double storeMs = 0;
    Check terminal;
    Check printer;
    Check files;                  // the local files a purchase needs
    std::optional<Check> service; // kiosk.service, on an installed kiosk only
    int openPurchases = 0;
    int journalPurchases = 0;
    qint64 journalBytes = 0;
    QString lastPurchaseAt; // ISO time of the last journal change, empty when none
    QString lastPurchaseState;
    QString journalProblem;          // the journal could not be read, empty when it could
    QStringList setAsideJournals;    // damaged journals set aside, waiting for a technician
    Check balances{true, QString()}; // balances that disagree with their statement lines
    int staleBalances = 0;
};
