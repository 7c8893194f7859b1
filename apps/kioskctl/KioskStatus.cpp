#include "KioskStatus.h"

#include "ClientDataSet.h"
#include "ConnectionString.h"
#include "HostConfig.h"
#include "InstallChecks.h"
#include "ModuleInstances.h"
#include "ParametrosZel.h"
#include "PrinterPort.h"
#include "PurchaseJournal.h"
#include "SimulatedTerminal.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "StoreFile.h"
#include "TrdmRecSaldo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrl>

namespace
{
constexpr int printerProbeMs = 2000;

KioskStatus::Check checkPrinter(const QString& dataFolder)
{
    const HostConfig& config = HostConfig::instance();
    ParametrosZel parametros;
    const QString parameters = dataFolder + QStringLiteral("/PARAMETROSZEL.CDS");
    if (QFileInfo::exists(parameters)) {
        ClientDataSet cds(QStringLiteral("cdsParametrosZel"));
        cds.loadFromFile(parameters);
        cds.open();
        parametros.readFrom(cds);
    }
    const QString target = PrinterPort::resolve(parametros.CDPORTAIMPFIS, config.printer(), dataFolder);
    if (target.startsWith(QLatin1String("tcp://"))) {
        const QUrl url(target);
        QTcpSocket socket;
        socket.connectToHost(url.host(), quint16(url.port()));
        if (!socket.waitForConnected(qMin(printerProbeMs, config.printer().timeoutMs)))
            return {false, QStringLiteral("%1: %2").arg(target, socket.errorString())};
        socket.disconnectFromHost();
        return {true, target};
    }
    const QFileInfo file(target);
    if (file.exists())
        return {file.isWritable(), file.isWritable() ? target : target + QStringLiteral(": not writable")};
    if (target.startsWith(QLatin1String("/dev/")))
        return {false, target + QStringLiteral(": no such device")};
    const QFileInfo folder(file.absolutePath());
    const bool ok = folder.isDir() && folder.isWritable();
    return {ok, ok ? target : target + QStringLiteral(": its folder cannot be written")};
}

KioskStatus::Check checkTerminal()
{
    const TerminalSettings& settings = HostConfig::instance().terminal();
    if (!settings.configured())
        return {false, QStringLiteral("terminal not configured: every purchase is refused; name the terminal in "
                                      "[terminal] of %1")
                           .arg(HostConfig::instance().file())};
    if (settings.mode == QLatin1String("fail"))
        return {false, QStringLiteral("simulated terminal set to fail: %1").arg(settings.errorText)};
    // A terminal that has never been used has no file yet; status creates none.
    const QString file = SimulatedTerminal::defaultFile();
    qsizetype pending = 0;
    if (QFileInfo::exists(file)) {
        SimulatedTerminal terminal(settings, file);
        pending = terminal.pending().size();
    }
    return {true, QStringLiteral("simulated terminal (%1), %2 transaction(s) pending").arg(settings.mode).arg(pending)};
}

void gatherInstallation(KioskStatus& s, const QString& dataFolder)
{
    try {
        s.files = InstallChecks::localFiles(dataFolder);
    } catch (const std::exception& e) {
        s.files = {false, QString::fromUtf8(e.what())};
    }
    s.service = InstallChecks::service();
}
} // namespace

KioskStatus KioskStatus::gather(const QString& dataFolder)
{
    KioskStatus s;
    const QString connection = HostConfig::instance().connectionString();
    QElapsedTimer timer;
    timer.start();
    try {
        StoreFile::requireExisting(connection);
        ModuleInstances::ServerSession session;
        SqlQuery query(QStringLiteral("status"), session.dataModule().adcRecSaldo);
        query.setSql(QStringLiteral("SELECT COUNT(*) AS N FROM CONSUMIDOR"));
        query.open();
        s.storeMs = double(timer.nsecsElapsed()) / 1e6;
        s.store = {true, QStringLiteral("%1, %2 consumers")
                             .arg(ConnectionString(connection).kind())
                             .arg(query.packet().rows().value(0).value(0).toLongLong())};
    } catch (const std::exception& e) {
        s.storeMs = double(timer.nsecsElapsed()) / 1e6;
        s.store = {false, QString::fromUtf8(e.what())};
    }
    try {
        s.terminal = checkTerminal();
    } catch (const std::exception& e) {
        s.terminal = {false, QString::fromUtf8(e.what())};
    }
    try {
        s.printer = checkPrinter(dataFolder);
    } catch (const std::exception& e) {
        s.printer = {false, QString::fromUtf8(e.what())};
    }
    gatherInstallation(s, dataFolder);
    const QString journalFile = PurchaseJournal::defaultFile();
    if (!QFileInfo::exists(journalFile))
        return s; // no purchase yet; status creates no journal
    const PurchaseJournal journal(journalFile);
    s.journalBytes = QFileInfo(journal.file()).size() + QFileInfo(journal.file() + QStringLiteral("-wal")).size();
    const QList<JournalEntry> entries = journal.entries();
    s.journalPurchases = int(entries.size());
    QDateTime last;
    for (const JournalEntry& e : entries) {
        s.openPurchases += e.finished() ? 0 : 1;
        if (!last.isValid() || e.at > last) {
            last = e.at;
            s.lastPurchaseState = purchaseStateName(e.state);
        }
    }
    if (last.isValid())
        s.lastPurchaseAt = last.toString(Qt::ISODate);
    return s;
}

KioskStatus::Health KioskStatus::health() const
{
    if (!store.ok)
        return Health::Down;
    if (!terminal.ok || !printer.ok || !files.ok || (service && !service->ok) || openPurchases > 0)
        return Health::Degraded;
    return Health::Healthy;
}

namespace
{
QString healthName(KioskStatus::Health h)
{
    switch (h) {
    case KioskStatus::Health::Healthy:
        return QStringLiteral("healthy");
    case KioskStatus::Health::Degraded:
        return QStringLiteral("degraded");
    case KioskStatus::Health::Down:
        return QStringLiteral("down");
    }
    return QString();
}

QString okName(bool ok)
{
    return ok ? QStringLiteral("ok") : QStringLiteral("FAIL");
}
} // namespace

QString KioskStatus::text() const
{
    QString out = QStringLiteral("kiosk: %1\n").arg(healthName(health()));
    out += QStringLiteral("store     %1 (%2 ms) %3\n").arg(okName(store.ok)).arg(storeMs, 0, 'f', 1).arg(store.detail);
    out += QStringLiteral("terminal  %1 %2\n").arg(okName(terminal.ok), terminal.detail);
    out += QStringLiteral("printer   %1 %2\n").arg(okName(printer.ok), printer.detail);
    out += QStringLiteral("files     %1 %2\n").arg(okName(files.ok), files.detail);
    if (service)
        out += QStringLiteral("service   %1 %2\n").arg(okName(service->ok), service->detail);
    out += QStringLiteral("journal   %1 open purchase(s) of %2, %3 bytes, last %4\n")
               .arg(openPurchases)
               .arg(journalPurchases)
               .arg(journalBytes)
               .arg(lastPurchaseAt.isEmpty() ? QStringLiteral("none")
                                             : lastPurchaseAt + QLatin1Char(' ') + lastPurchaseState);
    return out;
}

QByteArray KioskStatus::json() const
{
    const auto check = [](const Check& c) {
        return QJsonObject{{QStringLiteral("ok"), c.ok}, {QStringLiteral("detail"), c.detail}};
    };
    QJsonObject storeObject = check(store);
    storeObject.insert(QStringLiteral("ms"), qRound(storeMs * 10) / 10.0);
    QJsonObject journal{{QStringLiteral("open"), openPurchases},
                        {QStringLiteral("purchases"), journalPurchases},
                        {QStringLiteral("bytes"), journalBytes}};
    if (!lastPurchaseAt.isEmpty())
        journal.insert(QStringLiteral("last"), QJsonObject{{QStringLiteral("at"), lastPurchaseAt},
                                                           {QStringLiteral("state"), lastPurchaseState}});
    QJsonObject root{{QStringLiteral("status"), healthName(health())},
                           {QStringLiteral("store"), storeObject},
                           {QStringLiteral("terminal"), check(terminal)},
                           {QStringLiteral("printer"), check(printer)},
                           {QStringLiteral("files"), check(files)},
                           {QStringLiteral("journal"), journal}};
    if (service)
        root.insert(QStringLiteral("service"), check(*service));
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}
