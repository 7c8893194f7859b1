// kioskctl: the store technician's tool, running the recharge module's own code.
#include "ClientDataSet.h"
#include "Clock.h"
#include "ConnectionString.h"
#include "CoreDumps.h"
#include "DailyReconciliation.h"
#include "DataPacket.h"
#include "DateTimeValue.h"
#include "DemoFiles.h"
#include "ExclusiveLock.h"
#include "FolderOwner.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "KioskRole.h"
#include "KioskStatus.h"
#include "ModuleInstances.h"
#include "Money.h"
#include "PurchaseJournal.h"
#include "PurchaseRecovery.h"
#include "TerminalTransactionsFile.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "StoreFile.h"
#include "StoreSchema.h"
#include "TrdmRecSaldo.h"

#include <QCoreApplication>
#include <QFile>
#include <QFileInfo>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>
#include <optional>

namespace
{
const char* const usage =
    "usage: kioskctl [--config FILE] COMMAND ...\n"
    "  init-db                                create the store tables (and procedure) in the configured database\n"
    "  grant-kiosk ROLE                       give a kiosk's PostgreSQL role what selling, recovering and\n"
    "                                         reporting need and nothing else (run as the store's owner)\n"
    "  demo-data                              load the demo branch 0001 (families, till, consumers, balances)\n"
    "  demo-files DIR                         write PARAMETROSZEL.CDS and Dados/Cadastros/ConfTipoRece.cds\n"
    "  balances BRANCH CLIENT CONSUMER        print the balance packets as JSON\n"
    "  evolve CLIENT CONSUMER BRANCH DATE     re-compute a consumer's balances from DATE on\n"
    "  record PACKET.json BRANCH TILL CLIENT CONSUMER FAMILY DEPOSIT COO GNF SERIAL TURN-DATE FISCAL-DATE\n"
    "                                         record a credit purchase (packet format in the README);\n"
    "                                         prints the failure text on failure\n"
    "  recover [DATA-FOLDER]                  settle the kiosk's purchase journal and the terminal's pending\n"
    "                                         transactions: confirm what the store holds, record once what it does\n"
    "                                         not, undo what cannot be recorded; exit 1 while anything is left\n"
    "  recover --reverse NSU [--date DATE] [DATA-FOLDER]\n"
    "                                         reverse the balance credit of a card transaction that was never\n"
    "                                         paid (the terminal cancelled it): a debit of the same amount and\n"
    "                                         family with its cash movement, on the till of the folder's\n"
    "                                         PARAMETROSZEL.CDS; DATE, the movement date, when the NSU has\n"
    "                                         credits on several days\n"
    "  reconcile [--date DATE] [--json] [DATA-FOLDER]\n"
    "                                         every card credit the store holds for the kiosk's till and day\n"
    "                                         (today by default) against the card transactions the terminal\n"
    "                                         confirmed; exit 0 when all agree, 1 otherwise\n"
    "  terminal [--all] [DATA-FOLDER]         the stand-in card-payment library's transactions, most recent first\n"
    "  prune-journal DAYS [DATA-FOLDER]       remove settled purchases older than DAYS from the journal's archive\n"
    "  status [--json] [DATA-FOLDER]          the kiosk's health: store (and how fast), terminal, printer, open and\n"
    "                                         last purchases, journal size; exit 0 healthy, 1 degraded, 2 down\n"
    "Dates are ISO text (2026-12-08 or 2026-12-08T06:00:00).\n"
    "\n"
    "%1"
    "  KIOSK_DATA_DIR  the kiosk's data folder, for recover and terminal without DATA-FOLDER\n"
    "  KIOSK_LOCALE    date format of the counter keys: pt_BR (default), en_US, es_ES\n"
    "  KIOSK_VERBOSE   set to log informational messages too (only warnings otherwise)\n";

QString usageText()
{
    return QString::fromLatin1(usage).arg(HostConfig::configurationHelp());
}

bool isHelp(const QString& arg)
{
    return arg == QLatin1String("--help") || arg == QLatin1String("-h");
}

double isoDate(const QString& text)
{
    double days = 0;
    if (!DateTimeValue::parseIsoText(text, &days))
        throw KioskError(QStringLiteral("\"%1\" is not an ISO date").arg(text));
    return days;
}

void print(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

// Opens the data module the way the screen does and frees it on return.
struct Module {
    // Every command but init-db works on a store that exists: never create an empty one.
    explicit Module(bool creating = false)
    {
        if (!creating)
            StoreFile::requireExisting(HostConfig::instance().connectionString());
        session = std::make_unique<ModuleInstances::ServerSession>();
    }
    std::unique_ptr<ModuleInstances::ServerSession> session;
    SqlConnection& connection() { return *session->dataModule().adcRecSaldo; }
};

QByteArray packetOrFail(const QVariant& result, const char* what)
{
    if (!PacketVariant::isPacket(result))
        throw KioskError(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), result.toString()));
    return PacketVariant::packet(result).toJson(true);
}

// Settles the journal of the data folder; 0 when every purchase ended confirmed or undone.
int recover()
{
    Module m;
    const auto results = PurchaseRecovery::settleJournal(PurchaseJournal::defaultFile());
    int open = 0;
    for (const auto& r : results) {
        open += PurchaseSettlement::leavesWork(r.outcome) ? 1 : 0;
        std::fprintf(stdout, "%s %s%s%s\n", qPrintable(r.nsu), qPrintable(PurchaseSettlement::outcomeName(r.outcome)),
                     r.text.isEmpty() ? "" : ": ", qPrintable(r.text));
    }
    std::fprintf(stdout, "%lld purchase(s) settled, %d left open\n", qlonglong(results.size() - open), open);
    return open == 0 ? 0 : 1;
}

// The stand-in card-payment library's transactions, most recent first: the last 50, or all with --all.
QString money(double amount)
{
    const std::optional<Money> cents = Money::fromUnits(amount);
    return cents ? cents->text() : QString::number(amount, 'g', 17);
}

QString isoDay(double days)
{
    return DateTimeValue::toDateTime(days).date().toString(Qt::ISODate);
}

// A balance credit of a card transaction as getCompCredNsu lists it.
struct FoundCredit {
    double day = 0;
    QString client, consumer, family;
    double amount = 0;
    bool reversed = false;

    QString text(const QString& nsu, const QString& till) const
    {
        return QStringLiteral("credit of NSU %1 of %2 on till %3: consumer %4 (client %5), family %6, amount %7")
            .arg(nsu, isoDay(day), till, consumer, client, family, money(amount));
    }
};

// Reverses the credit of a card transaction on the data folder's till; 0 when reversed.
int reverse(const QString& nsu, const std::optional<double>& date)
{
    ClientDataSet parameters(QStringLiteral("cdsParametrosZel"));
    parameters.loadFromFile(HostConfig::instance().programFolder() + QStringLiteral("/PARAMETROSZEL.CDS"));
    parameters.first();
    const QString branch = parameters.fieldByName(QStringLiteral("CDFILIAL")).asString();
    const QString till = parameters.fieldByName(QStringLiteral("CDCAIXA")).asString();

    Module m;
    const QVariant found =
        date ? Srv_kvb52814::getCompCredNsu(branch, till, nsu, *date) : Srv_kvb52814::getCompCredNsu(branch, till, nsu);
    if (!PacketVariant::isPacket(found))
        throw KioskError(QStringLiteral("getCompCredNsu: ") + found.toString());
    ClientDataSet rows(QStringLiteral("cdsCompCred"));
    rows.setData(PacketVariant::packet(found));
    QList<FoundCredit> credits, open;
    for (rows.first(); !rows.eof(); rows.next()) {
        const auto field = [&](const char* name) { return rows.fieldByName(QString::fromLatin1(name)); };
        credits << FoundCredit{field("DTMOVIMCAIXA").asDateTime(), field("CDCLIENTE").asString(),
                               field("CDCONSUMIDOR").asString(),   field("CDFAMILISALD").asString(),
                               field("VRMOVEXTCONS").asFloat(),    !field("NRSEQUMOVIESTORNO").isNull()};
        if (!credits.last().reversed)
            open << credits.last();
    }
    if (credits.isEmpty()) {
        std::fprintf(stdout, "no balance credit with NSU %s on till %s of branch %s%s\n", qPrintable(nsu),
                     qPrintable(till), qPrintable(branch),
                     date ? qPrintable(QStringLiteral(" on ") + isoDay(*date)) : "");
        return 1;
    }
    if (open.size() > 1) {
        std::fprintf(stdout, "NSU %s has credits on several days; name one with --date:\n", qPrintable(nsu));
        for (const FoundCredit& c : open)
            std::fprintf(stdout, "  %s\n", qPrintable(c.text(nsu, till)));
        return 1;
    }
    // With none open the function refuses, naming the reversal already written.
    const FoundCredit chosen = open.isEmpty() ? credits.last() : open.first();
    const QVariant result = Srv_kvb52814::setEstornaCompCred(branch, till, nsu, chosen.day);
    if (result.isValid()) {
        // A failure after the commit leaves the reversal written, the balances to the next evolution.
        const bool written = result.toString().startsWith(Srv_kvb52814::reversalCommittedText());
        std::fprintf(stdout, "%s: %s\n%s\n",
                     written ? "reversed, balances not evolved (run kioskctl evolve)" : "not reversed",
                     qPrintable(chosen.text(nsu, till)), qPrintable(result.toString()));
        return 1;
    }
    std::fprintf(stdout,
                 "reversed: %s\n(debit line \"ZEL - Estorno Caixa %s\" and its cash movement written, balances "
                 "evolved)\n",
                 qPrintable(chosen.text(nsu, till)), qPrintable(till));
    // The journal's purchase is over: its card was cancelled and its credit is reversed.
    // Under the purchase's own lock, as every settler of it: a kiosk still on it keeps it.
    PurchaseJournal journal(PurchaseJournal::defaultFile());
    if (const auto entry = journal.find(nsu, branch, till); entry && !entry->finished()) {
        ExclusiveLock lock(journal.lockFile(entry->purchase));
        if (lock.tryLock())
            journal.write(entry->purchase, PurchaseState::Undone, QStringLiteral("credit reversed by kioskctl"));
    }
    return 0;
}

int listTerminal(bool all)
{
    const TerminalTransactionsFile terminal(TerminalTransactionsFile::defaultFile());
    const int total = terminal.count();
    std::fprintf(stderr, "%s: %d transaction(s)%s\n", qPrintable(terminal.file()), total,
                 all || total <= 50 ? "" : ", the 50 most recent first (--all for every one)");
    for (const auto& t : terminal.recent(all ? total : 50))
        std::fprintf(stdout, "%s %-9s %10.2f %s %s\n", qPrintable(t.nsu), qPrintable(terminalStateName(t.state)),
                     t.amount, qPrintable(t.cardNumber), qPrintable(t.changedAt.toString(Qt::ISODateWithMs)));
    return 0;
}

// The kiosk's data folder: the one argument left, else the configured one; it must exist.
QString useDataFolder(const QStringList& args)
{
    if (args.size() > 1)
        throw KioskError(QStringLiteral("one DATA-FOLDER at most\n%1").arg(usageText()));
    if (!args.isEmpty())
        HostConfig::instance().setDataFolder(args[0]);
    const QString folder = HostConfig::instance().programFolder();
    FolderOwner::requireSameOwner({folder}, QCoreApplication::arguments().mid(1));
    if (!QFileInfo(folder).isDir())
        throw ConfigError(QStringLiteral("the kiosk's data folder %1 does not exist (give DATA-FOLDER or set "
                                         "KIOSK_DATA_DIR)")
                              .arg(folder));
    return folder;
}

// The kiosk's till and day checked: store credits against confirmed card transactions.
int reconcile(QStringList args)
{
    const bool json = args.removeAll(QStringLiteral("--json")) > 0;
    QDate day = Clock::instance().now().date();
    if (const qsizetype at = args.indexOf(QStringLiteral("--date")); at >= 0) {
        if (at + 1 >= args.size())
            throw KioskError(QStringLiteral("--date needs a value\n%1").arg(usageText()));
        day = DateTimeValue::toDateTime(isoDate(args[at + 1])).date();
        args.remove(at, 2);
    }
    useDataFolder(args);
    const auto [branch, till] = PurchaseRecovery::kioskTill();
    if (till.isEmpty())
        throw ConfigError(QStringLiteral("the kiosk's till is unknown: its PARAMETROSZEL.CDS cannot be read"));
    Module m;
    const DailyReconciliation::Report report = DailyReconciliation::run(
        m.connection(), branch, till, day, TerminalTransactionsFile::defaultFile(), PurchaseJournal::defaultFile());
    if (json)
        print(report.json());
    else
        std::fputs(qPrintable(report.text()), stdout);
    return report.agrees() ? 0 : 1;
}

int run(QStringList args)
{
    // Help before the configuration is read: it must work where none exists yet.
    if (std::any_of(args.cbegin(), args.cend(), isHelp)) {
        std::fputs(qPrintable(usageText()), stdout);
        return 0;
    }
    if (args.size() >= 2 && args[0] == QLatin1String("--config")) {
        HostConfig::instance().load(args[1]);
        args = args.mid(2);
    } else {
        HostConfig::instance().load();
    }
    if (args.isEmpty()) {
        std::fputs(qPrintable(usageText()), stderr);
        return 2;
    }
    const QStringList given = QCoreApplication::arguments().mid(1);
    const QString command = args.takeFirst();
    FolderOwner::requireSameOwner(FolderOwner::configuredFolders(), given);
    if (command == QLatin1String("demo-files") && args.size() == 1)
        FolderOwner::requireSameOwner({args[0]}, given);
    const auto need = [&](int n) {
        if (args.size() != n)
            throw KioskError(QStringLiteral("%1 takes %2 arguments\n%3").arg(command).arg(n).arg(usageText()));
    };
    if (command == QLatin1String("demo-files")) {
        need(1);
        DemoFiles::write(args[0]);
        return 0;
    }
    if (command == QLatin1String("init-db")) {
        need(0);
        // An upgrade may index a big store for minutes: the call deadline is for selling, not for this.
        if (const ConnectionString cs(HostConfig::instance().connectionString());
            cs.kind() == QLatin1String("POSTGRESQL") && !cs.has(QStringLiteral("Call Timeout")))
            HostConfig::instance().setConnectionString(HostConfig::instance().connectionString() +
                                                       QStringLiteral(";Call Timeout=0"));
        Module m(true);
        StoreSchema::create(m.connection());
        return 0;
    }
    if (command == QLatin1String("grant-kiosk")) {
        need(1);
        Module m;
        KioskRole::grant(m.connection(), args[0]);
        std::fprintf(stdout, "role %s may now sell, recover and report on this store\n", qPrintable(args[0]));
        return 0;
    }
    if (command == QLatin1String("demo-data")) {
        need(0);
        Module m;
        StoreSchema::loadDemoData(m.connection());
        return 0;
    }
    if (command == QLatin1String("balances")) {
        need(3);
        Module m;
        print("{\"getSaldoCons\": " +
              packetOrFail(Srv_kvb52814::getSaldoCons(args[0], args[1], args[2]), "getSaldoCons") +
              ",\n\"getTotSalCons\": " + packetOrFail(Srv_kvb52814::getTotSalCons(args[1], args[2]), "getTotSalCons") +
              "}\n");
        return 0;
    }
    if (command == QLatin1String("evolve")) {
        need(4);
        Module m;
        Srv_kvb52814::EvoluiSaldo(args[0], args[1], args[2], isoDate(args[3]));
        return 0;
    }
    if (command == QLatin1String("record")) {
        need(12);
        const DataPacket packet = DataPacket::loadFile(args[0]);
        Module m;
        const QVariant result =
            Srv_kvb52814::setGravaCompCred(PacketVariant::of(packet), args[1], args[2], args[3], args[4], args[5],
                                           args[6], args[7], args[8], args[9], isoDate(args[10]), isoDate(args[11]));
        if (result.isValid()) {
            std::fprintf(stdout, "%s\n", qPrintable(result.toString()));
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("status")) {
        const bool json = args.removeAll(QStringLiteral("--json")) > 0;
        const QString folder = useDataFolder(args);
        const KioskStatus status = KioskStatus::gather(folder);
        if (json)
            print(status.json());
        else
            std::fputs(qPrintable(status.text()), stdout);
        return int(status.health());
    }
    if (command == QLatin1String("reconcile"))
        return reconcile(args);
    if (command == QLatin1String("recover") || command == QLatin1String("terminal") ||
        command == QLatin1String("prune-journal")) {
        const bool all = args.removeAll(QStringLiteral("--all")) > 0;
        int days = 0;
        if (command == QLatin1String("prune-journal")) {
            bool ok = false;
            days = args.isEmpty() ? -1 : args.takeFirst().toInt(&ok);
            if (!ok || days < 1)
                throw KioskError(
                    QStringLiteral("prune-journal takes a number of days (1 or more)\n%1").arg(usageText()));
        }
        // recover --reverse NSU [--date DATE]: the options may stand anywhere among the arguments.
        QString reverseNsu;
        std::optional<double> reverseDate;
        if (command == QLatin1String("recover")) {
            for (int i = 0; i < args.size();) {
                const bool reverseOption = args[i] == QLatin1String("--reverse");
                if (!reverseOption && args[i] != QLatin1String("--date")) {
                    ++i;
                    continue;
                }
                if (i + 1 >= args.size() || args[i + 1].isEmpty())
                    throw KioskError(QStringLiteral("%1 needs a value\n%2").arg(args[i], usageText()));
                if (reverseOption)
                    reverseNsu = args[i + 1];
                else
                    reverseDate = isoDate(args[i + 1]);
                args.remove(i, 2);
            }
            if (reverseDate && reverseNsu.isEmpty())
                throw KioskError(QStringLiteral("--date goes with --reverse\n%1").arg(usageText()));
        }
        const QString folder = useDataFolder(args);
        if (command == QLatin1String("prune-journal")) {
            PurchaseJournal journal(PurchaseJournal::defaultFile());
            const int removed = journal.prune(days);
            std::fprintf(stdout, "%d settled purchase(s) older than %d day(s) removed from %s; %d kept\n", removed,
                         days, qPrintable(journal.file()), journal.settledCount());
            return 0;
        }
        if (!reverseNsu.isEmpty())
            return reverse(reverseNsu, reverseDate);
        return command == QLatin1String("recover") ? recover() : listTerminal(all);
    }
    throw KioskError(QStringLiteral("unknown command \"%1\"\n%2").arg(command, usageText()));
}
} // namespace

int main(int argc, char* argv[])
{
    CoreDumps::forbid(); // it may come to hold card data
    QCoreApplication app(argc, argv);
    // Output is for scripts: only warnings go to stderr unless KIOSK_VERBOSE is set.
    if (!qEnvironmentVariableIsSet("KIOSK_VERBOSE"))
        QLoggingCategory::setFilterRules(QStringLiteral("kiosk.*.info=false"));
    try {
        return run(app.arguments().mid(1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kioskctl: %s\n", e.what());
        return 1;
    }
}
