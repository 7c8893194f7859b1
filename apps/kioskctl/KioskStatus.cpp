#include "KioskStatus.h"

#include "CliSiTefTerminal.h"
#include "ClientDataSet.h"
#include "ConnectionString.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "InstallChecks.h"
#include "ModuleInstances.h"
#include "Money.h"
#include "ParametrosZel.h"
#include "PurchaseRecovery.h"
#include "PrinterPort.h"
#include "PrinterSettingsCheck.h"
#include "PurchaseJournal.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "Srv_kvb52814.h"
#include "StoreFile.h"
#include "TrdmRecSaldo.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFileInfo>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QTcpSocket>
#include <QUrl>
#include <memory>

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
    if (const auto refused = printerSettingsCheck(target))
        return *refused;
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

// Balances behind their statement lines (a recording's evolution that never ran), with the
// command that brings each up to date.
KioskStatus::Check checkBalances(const QString& branch, int* behind)
{
    const QVariant answer = Srv_kvb52814::getSaldosDesatualizados();
    if (!PacketVariant::isPacket(answer))
        return {false, QStringLiteral("getSaldosDesatualizados: ") + answer.toString()};
    ClientDataSet rows(QStringLiteral("cdsSaldosDesatualizados"));
    rows.setData(PacketVariant::packet(answer));
    QStringList lines;
    for (rows.first(); !rows.eof(); rows.next()) {
        const auto field = [&](const char* name) { return rows.fieldByName(QString::fromLatin1(name)); };
        if (lines.size() < 10) {
            // The store's figures through the one rounding of a binary amount, as every other amount.
            const auto money = [&](const char* name) {
                const std::optional<Money> m = Money::fromUnits(field(name).asFloat());
                return m ? m->text() : QString::number(field(name).asFloat(), 'g', 17);
            };
            const QString held = field("VRSALDCONFAM").isNull() ? QStringLiteral("no balance") : money("VRSALDCONFAM");
            lines
                << QStringLiteral("client %1 consumer %2 family %3: balance %4, lines %5; run kioskctl evolve %1 %2 "
                                  "%6 %7")
                       .arg(field("CDCLIENTE").asString(), field("CDCONSUMIDOR").asString(),
                            field("CDFAMILISALD").asString(), held,
                            money("VRSALDOEXTRATO"),
                            branch.isEmpty() ? QStringLiteral("BRANCH") : branch,
                            DateTimeValue::toDateTime(field("DTMOVEXTCONS").asDateTime()).date().toString(Qt::ISODate));
        }
        ++*behind;
    }
    if (*behind == 0)
        return {true, QStringLiteral("every balance agrees with its statement lines")};
    return {false, QStringLiteral("%1 balance(s) disagree with their statement lines:\n          %2")
                       .arg(*behind)
                       .arg(lines.join(QStringLiteral("\n          ")))};
}

// A card-payment library: loaded and its entry points there; the payments the kiosk has
// not yet finished, from its documents file (status neither configures the library nor
// creates the file).
KioskStatus::Check checkLibrary(const TerminalSettings& settings)
{
    const CliSiTefTerminal terminal(settings);
    if (!terminal.failure().isEmpty())
        return {false, QStringLiteral("%1: %2").arg(terminal.description(), terminal.failure())};
    const QString file = FiscalDocumentMap::defaultFile();
    const qsizetype open = QFileInfo::exists(file) ? FiscalDocumentMap(file).open().size() : 0;
    return {true, QStringLiteral("%1: loaded, %2 card payment(s) not finished").arg(terminal.description()).arg(open)};
}

KioskStatus::Check checkTerminal()
{
    const TerminalSettings& settings = HostConfig::instance().terminal();
    if (settings.usesLibrary())
        return checkLibrary(settings);
    return {false, QStringLiteral("terminal not configured: every purchase is refused; name the card-payment library "
                                  "in [terminal] of %1")
                       .arg(HostConfig::instance().file())};
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
        s.balances = checkBalances(PurchaseRecovery::kioskTill(dataFolder).first, &s.staleBalances);
    } catch (const std::exception& e) {
        s.storeMs = double(timer.nsecsElapsed()) / 1e6;
        s.store = {false, QString::fromUtf8(e.what())};
        s.balances = {true, QStringLiteral("not checked: the store does not answer")};
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
    std::unique_ptr<PurchaseJournal> opened;
    try {
        opened = std::make_unique<PurchaseJournal>(journalFile); // a damaged one is set aside here
    } catch (const std::exception& e) {
        s.journalProblem = QString::fromUtf8(e.what());
    }
    s.setAsideJournals = PurchaseJournal::setAsideFiles(journalFile);
    if (!opened)
        return s;
    const PurchaseJournal& journal = *opened;
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
    if (!terminal.ok || !printer.ok || !files.ok || (service && !service->ok) || openPurchases > 0 || !balances.ok ||
        !journalProblem.isEmpty() || !setAsideJournals.isEmpty())
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
    if (!journalProblem.isEmpty())
        out += QStringLiteral("journal   FAIL %1\n").arg(journalProblem);
    for (const QString& file : setAsideJournals)
        out += QStringLiteral("journal   FAIL %1\n").arg(PurchaseJournal::setAsideAdvice(file));
    out += QStringLiteral("balances  %1 %2\n").arg(okName(balances.ok), balances.detail);
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
    if (!journalProblem.isEmpty())
        journal.insert(QStringLiteral("problem"), journalProblem);
    if (!setAsideJournals.isEmpty()) {
        QJsonArray aside;
        for (const QString& file : setAsideJournals)
            aside.append(QJsonObject{{QStringLiteral("file"), file},
                                     {QStringLiteral("advice"), PurchaseJournal::setAsideAdvice(file)}});
        journal.insert(QStringLiteral("setAside"), aside);
    }
    QJsonObject balancesObject = check(balances);
    balancesObject.insert(QStringLiteral("behind"), staleBalances);
    if (!lastPurchaseAt.isEmpty())
        journal.insert(QStringLiteral("last"), QJsonObject{{QStringLiteral("at"), lastPurchaseAt},
                                                           {QStringLiteral("state"), lastPurchaseState}});
    QJsonObject root{{QStringLiteral("status"), healthName(health())},
                     {QStringLiteral("store"), storeObject},
                     {QStringLiteral("terminal"), check(terminal)},
                     {QStringLiteral("printer"), check(printer)},
                     {QStringLiteral("files"), check(files)},
                     {QStringLiteral("balances"), balancesObject},
                     {QStringLiteral("journal"), journal}};
    if (service)
        root.insert(QStringLiteral("service"), check(*service));
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}
