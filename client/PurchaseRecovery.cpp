#include "PurchaseRecovery.h"

#include "ClientDataSet.h"
#include "HostConfig.h"
#include "ParametrosZel.h"
#include "StoreLedger.h"
#include "Wst00001.h"

#include <QFile>

namespace PurchaseRecovery
{

std::pair<QString, QString> kioskTill(const QString& dataFolder)
{
    const QString folder = dataFolder.isEmpty() ? HostConfig::instance().programFolder() : dataFolder;
    const QString file = folder + QStringLiteral("/PARAMETROSZEL.CDS");
    if (!QFile::exists(file))
        return {};
    try {
        ClientDataSet cds(QStringLiteral("cdsParametrosZel"));
        cds.loadFromFile(file);
        cds.open();
        ParametrosZel p;
        p.readFrom(cds);
        return {p.CDFILIAL, p.CDCAIXA};
    } catch (const std::exception& e) {
        qCWarning(lcJournal).noquote() << file << ": the kiosk's till cannot be read:" << e.what();
        return {};
    }
}

QList<PurchaseSettlement::Result> settleJournal(const QString& journalFile)
{
    PurchaseJournal journal(journalFile);
    // A journal set aside, now or before, waits for a technician: say so on every run.
    QList<PurchaseSettlement::Result> aside;
    for (const QString& file : PurchaseJournal::setAsideFiles(journal.file())) {
        const QString why = file == journal.setAsideFile() ? QStringLiteral("damaged (%1): ").arg(journal.damage())
                                                           : QString();
        aside.append({QStringLiteral("journal"), PurchaseSettlement::Outcome::Unsettled,
                      why + PurchaseJournal::setAsideAdvice(file)});
    }
    StoreLedger ledger;
    PurchaseSettlement settlement(journal, ledger, Wst00001::paymentTerminal());
    const auto [branch, till] = kioskTill();
    settlement.setKioskTill(branch, till);
    const QList<PurchaseSettlement::Result> results = aside + settlement.settleAll();
    for (const auto& r : results)
        qCInfo(lcJournal).noquote() << "settled purchase" << r.nsu << ":" << PurchaseSettlement::outcomeName(r.outcome)
                                    << r.text;
    return results;
}

} // namespace PurchaseRecovery
