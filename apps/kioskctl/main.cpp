// kioskctl: the store technician's tool, running the recharge module's own code.
#include "CoreDumps.h"
#include "DataPacket.h"
#include "DateTimeValue.h"
#include "DemoFiles.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleInstances.h"
#include "StoreFile.h"
#include "PurchaseRecovery.h"
#include "SimulatedTerminal.h"
#include "SqlConnection.h"
#include "StoreSchema.h"
#include "Srv_kvb52814.h"
#include "TrdmRecSaldo.h"

#include <QCoreApplication>
#include <QFileInfo>
#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <algorithm>
#include <cstdio>
#include <memory>

namespace {
const char* const usage =
    "usage: kioskctl [--config FILE] COMMAND ...\n"
    "  init-db                                create the store tables (and procedure) in the configured database\n"
    "  demo-data                              load the demo branch 0001 (families, till, consumers, balances)\n"
    "  demo-files DIR                         write PARAMETROSZEL.CDS and Dados/Cadastros/ConfTipoRece.cds\n"
    "  balances BRANCH CLIENT CONSUMER        print the balance packets as JSON\n"
    "  evolve CLIENT CONSUMER BRANCH DATE     re-compute a consumer's balances from DATE on\n"
    "  record PACKET.json BRANCH TILL CLIENT CONSUMER FAMILY DEPOSIT COO GNF SERIAL TURN-DATE FISCAL-DATE\n"
    "                                         record a credit purchase (packet format in the README);\n"
    "                                         prints the failure text on failure\n"
    "  recover [DATA-FOLDER]                  settle the kiosk's purchase journal: confirm what the store holds,\n"
    "                                         record once what it does not, undo what cannot be recorded\n"
    "  terminal [DATA-FOLDER]                 list the simulated payment terminal's transactions and their states\n"
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
struct Module
{
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
    const auto results =
        PurchaseRecovery::settleJournal(HostConfig::instance().programFolder() + QStringLiteral("/purchase-journal.jsonl"));
    int open = 0;
    for (const auto& r : results) {
        const bool settled = r.outcome == PurchaseSettlement::Outcome::Confirmed ||
                             r.outcome == PurchaseSettlement::Outcome::Undone;
        open += settled ? 0 : 1;
        std::fprintf(stdout, "%s %s%s%s\n", qPrintable(r.nsu), qPrintable(PurchaseSettlement::outcomeName(r.outcome)),
                     r.text.isEmpty() ? "" : ": ", qPrintable(r.text));
    }
    std::fprintf(stdout, "%lld purchase(s) settled, %d left open\n", qlonglong(results.size() - open), open);
    return open == 0 ? 0 : 1;
}

int listTerminal()
{
    const SimulatedTerminal terminal(HostConfig::instance().terminal(), SimulatedTerminal::defaultFile());
    for (const auto& t : terminal.transactions())
        std::fprintf(stdout, "%s %-9s %10.2f %s %s\n", qPrintable(t.nsu), qPrintable(terminalStateName(t.state)),
                     t.amount, qPrintable(t.cardNumber), qPrintable(t.changedAt.toString(Qt::ISODateWithMs)));
    return 0;
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
    const QString command = args.takeFirst();
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
        Module m(true);
        StoreSchema::create(m.connection());
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
        print("{\"getSaldoCons\": " + packetOrFail(Srv_kvb52814::getSaldoCons(args[0], args[1], args[2]), "getSaldoCons") +
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
        const QVariant result = Srv_kvb52814::setGravaCompCred(PacketVariant::of(packet), args[1], args[2], args[3],
                                                               args[4], args[5], args[6], args[7], args[8], args[9],
                                                               isoDate(args[10]), isoDate(args[11]));
        if (result.isValid()) {
            std::fprintf(stdout, "%s\n", qPrintable(result.toString()));
            return 1;
        }
        return 0;
    }
    if (command == QLatin1String("recover") || command == QLatin1String("terminal")) {
        if (args.size() > 1)
            need(1);
        if (!args.isEmpty())
            HostConfig::instance().setDataFolder(args[0]);
        const QString folder = HostConfig::instance().programFolder();
        if (!QFileInfo(folder).isDir())
            throw ConfigError(QStringLiteral("the kiosk's data folder %1 does not exist (give DATA-FOLDER or set "
                                             "KIOSK_DATA_DIR)").arg(folder));
        return command == QLatin1String("recover") ? recover() : listTerminal();
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
