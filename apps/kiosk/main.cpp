// kiosk: the host program. Reads its configuration, loads the recharge module and
// runs all day: the home screen takes a consumer's code, the module's entry shows
// that consumer's recharge screen, then the home screen again. With --consumer it
// opens the one screen and returns when it closes.
#include "ConnectionString.h"
#include "ConsumerDirectory.h"
#include "CoreDumps.h"
#include "HomeBench.h"
#include "HomeLoop.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "KioskScript.h"
#include "ScreenSession.h"
#include "StoreLocator.h"
#include "TfrmHome.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>
#include <QLoggingCategory>
#include <QTimer>
#include <cstdio>
#include <cstring>
#include <memory>
#include <unistd.h>

namespace
{
const char* const demoConsumer = "000000000000101";

// Exit statuses, as the help text lists them.
constexpr int exitFailedCheck = 1;
constexpr int exitCannotStart = 2;

QString description()
{
    return QStringLiteral("Self-service kiosk: balance recharge. Without --consumer it runs until stopped: the home\n"
                          "screen takes a consumer's code (keypad, or a badge or barcode reader typing the code and\n"
                          "Enter), opens their recharge screen, and comes back when it closes.\n\n") +
           HostConfig::configurationHelp() +
           QStringLiteral(
               "  KIOSK_DATA_DIR  folder of PARAMETROSZEL.CDS\n"
               "  KIOSK_LOCALE    number and date format and language: pt_BR (default), en_US, es_ES\n"
               "  KIOSK_TERMINAL_LIBRARY, KIOSK_SITEF_STORE, KIOSK_SITEF_TERMINAL: the card-payment library (CliSiTef)\n"
               "  and the store's and this kiosk's ids on its server; without a library every purchase is refused\n"
               "  KIOSK_TERMINAL_MODE (approve, decline, fail), KIOSK_TERMINAL_DELAY_MS, KIOSK_TERMINAL_ERROR,\n"
               "  KIOSK_TERMINAL_BANK_CODE, KIOSK_TERMINAL_CARD, KIOSK_TERMINAL_FILE, KIOSK_TERMINAL_SCRIPT:\n"
               "  how our stand-in library (the demo's and the tests') answers\n"
               "  KIOSK_PRINTER_PORT (file, device or tcp://HOST:PORT), KIOSK_PRINTER_COUNTERS, KIOSK_FISCAL_DATE\n"
               "--demo uses the demo store that ./demo.sh creates in the project's demo-data folder, with its\n"
               "demo-data/kiosk.conf unless --config or KIOSK_CONFIG names another, and lists the demo codes.\n"
               "Warnings only, unless --verbose or QT_LOGGING_RULES asks for more.\n"
               "\n"
               "Exit status: 0 done; 1 a script line or the screenshot failed; 2 the kiosk could not start.");
}

void describe(QCommandLineParser& cli)
{
    cli.setApplicationDescription(description());
    cli.addHelpOption();
    cli.addOption({QStringLiteral("config"), QStringLiteral("Configuration file."), QStringLiteral("file")});
    cli.addOption({QStringLiteral("consumer"),
                   QStringLiteral("Open the recharge screen for this consumer only, then end."),
                   QStringLiteral("code")});
    cli.addOption({QStringLiteral("demo"), QStringLiteral("Use the demo store; list its consumers' codes.")});
    cli.addOption({QStringLiteral("verbose"), QStringLiteral("Log informational messages too.")});
    cli.addOption({QStringLiteral("script"),
                   QStringLiteral("Play a check script on the screen in front, then end (see the README)."),
                   QStringLiteral("file")});
    cli.addOption({QStringLiteral("screenshot"),
                   QStringLiteral("Save the screen to a PNG once it is up (after the script), then close it."),
                   QStringLiteral("file")});
    cli.addOption({QStringLiteral("measure-first-paint"),
                   QStringLiteral("Benchmark: print the time to the first paint showing the balances and the "
                                  "resident memory, then close.")});
    cli.addOption({QStringLiteral("measure-home"),
                   QStringLiteral("Benchmark: serve SESSIONS consumers one after the other on the home screen (the "
                                  "store's consumers in turn), print the code-to-balances times and the resident "
                                  "memory, then end."),
                   QStringLiteral("sessions")});
    cli.addOption({QStringLiteral("measure-idle"),
                   QStringLiteral("Benchmark: print the CPU time used over SECONDS with the screen untouched "
                                  "(after the script), then close."),
                   QStringLiteral("seconds")});
}

bool wantsHelp(int argc, char* argv[])
{
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--help") || !std::strcmp(argv[i], "-h") || !std::strcmp(argv[i], "-?") ||
            !std::strcmp(argv[i], "--help-all"))
            return true;
    }
    return false;
}

// --demo: the demo store beside the project unless the configuration names one,
// with the demo kiosk's configuration that ./demo.sh writes there.
void useDemoStore(HostConfig& config, bool configNamed)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
    if (!configNamed) {
        const QString demoConfig = StoreLocator::findDemoConfig(programFolder, QDir::currentPath());
        if (!demoConfig.isEmpty())
            config.load(demoConfig);
    }
    if (config.dataFolder().isEmpty()) {
        const QString folder = StoreLocator::findDemoFolder(programFolder, QDir::currentPath());
        if (folder.isEmpty() && config.connectionString().isEmpty())
            throw ConfigError(StoreLocator::demoStoreMissing(programFolder, QDir::currentPath()));
        config.setDataFolder(folder);
    }
    if (config.connectionString().isEmpty())
        config.setConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") +
                                   ConnectionString::quote(config.dataFolder() + QStringLiteral("/store.db")));
}

// Paid purchases a previous run left unfinished (the kiosk died, the store was down)
// are recorded and confirmed, or undone, before a new consumer is served.
int settlePurchaseJournal(QLibrary& module)
{
    using Settle = int (*)();
    const auto settle = reinterpret_cast<Settle>(module.resolve("SettlePurchaseJournal"));
    if (!settle) {
        std::fprintf(stderr, "kiosk: the recharge module cannot settle the purchase journal\n");
        return -1;
    }
    const int left = settle();
    if (left < 0)
        std::fprintf(stderr, "kiosk: the purchase journal could not be settled now; it is tried again after the "
                             "next consumer and at the next start (or with kioskctl recover)\n");
    else if (left > 0)
        std::fprintf(stderr,
                     "kiosk: %d paid purchase(s) still unsettled in the purchase journal; see kioskctl "
                     "recover\n",
                     left);
    return left;
}

// Quiet by default: the kiosk's own warnings and errors only; Qt's notices about
// what its display plugin cannot do (a window mask offscreen, for one) and the
// kiosk's informational lines come with --verbose or QT_LOGGING_RULES. Qt's notice
// about a missing runtime folder is answered by making the folder it falls back to.
void quietLogging(bool verbose)
{
    if (!verbose && qEnvironmentVariableIsEmpty("QT_LOGGING_RULES"))
        QLoggingCategory::setFilterRules(
            QStringLiteral("kiosk.*.info=false\ndefault.warning=false\nqt.*.warning=false"));
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString folder = QDir::tempPath() + QStringLiteral("/runtime-kiosk-%1").arg(::getuid());
        QDir().mkpath(folder);
        QFile::setPermissions(folder, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", QFile::encodeName(folder));
    }
}

QStringList demoCodes(const QString& connectionString)
{
    QStringList lines;
    for (const auto& [code, name] : ConsumerDirectory::listConsumers(connectionString, 8))
        lines << code + QStringLiteral("\n    ") + name;
    return lines;
}

using Entry = void (*)(const QVariant&);
using Settle = int (*)();

// The kiosk's day on the home screen; ends when the home screen closes (a script's
// end, or the session stopping the kiosk).
int runHome(QApplication& app, ScreenSession::Options options, Entry entry, Settle settle,
            const QString& connectionString, const QStringList& codes, int benchSessions)
{
    TfrmHome home;
    home.setDemoCodes(codes);
    HomeLoop::Services services;
    services.lookUp = [connectionString](const QString& code) {
        return ConsumerDirectory::findConsumer(connectionString, code);
    };
    services.serve = [entry](const DataPacket& consumer) { entry(PacketVariant::of(consumer)); };
    // The settler looks at the journal's open purchases only: after a consumer whose
    // purchase ended unsettled it settles that one, otherwise it finds nothing to do.
    services.settle = settle;
    HomeLoop loop(home, services);

    options.screenName = home.objectName();
    options.screens = {QString::fromLatin1(ScreenSession::rechargeScreen), home.objectName()};
    ScreenSession session(options);
    std::unique_ptr<HomeBench> bench;
    if (benchSessions > 0) {
        QStringList consumers;
        for (const auto& [code, name] : ConsumerDirectory::listConsumers(connectionString, 100000))
            consumers << code;
        bench = std::make_unique<HomeBench>(home, loop, consumers, benchSessions);
        QTimer::singleShot(0, bench.get(), &HomeBench::start);
    }
    home.show();
    app.exec();
    loop.stop();
    session.screenGone();
    if (!session.succeeded()) {
        std::fprintf(stderr, "kiosk: %s\n", qPrintable(session.failure()));
        return exitFailedCheck;
    }
    return 0;
}

int benchSessions(const QCommandLineParser& cli)
{
    if (!cli.isSet(QStringLiteral("measure-home")))
        return 0;
    bool ok = false;
    const int sessions = cli.value(QStringLiteral("measure-home")).toInt(&ok);
    if (!ok || sessions <= 0)
        throw ConfigError(QStringLiteral("--measure-home takes a number of sessions"));
    return sessions;
}

ScreenSession::Options sessionOptions(const QCommandLineParser& cli)
{
    ScreenSession::Options options;
    options.firstPaint = cli.isSet(QStringLiteral("measure-first-paint"));
    if (cli.isSet(QStringLiteral("script"))) {
        options.scriptName = cli.value(QStringLiteral("script"));
        options.script = KioskScript::load(options.scriptName);
    }
    options.screenshot = cli.value(QStringLiteral("screenshot"));
    if (cli.isSet(QStringLiteral("measure-idle"))) {
        bool ok = false;
        options.idleSeconds = cli.value(QStringLiteral("measure-idle")).toInt(&ok);
        if (!ok || options.idleSeconds <= 0)
            throw ConfigError(QStringLiteral("--measure-idle takes a number of seconds"));
    }
    return options;
}
} // namespace

int main(int argc, char* argv[])
{
    CoreDumps::forbid(); // it may come to hold card data
    // Help needs neither a display nor a configuration.
    if (wantsHelp(argc, argv)) {
        QCoreApplication core(argc, argv);
        QCommandLineParser cli;
        describe(cli);
        cli.process(core);
        return 0;
    }
    // Without a display Qt would abort; say what to do and end as a kiosk that cannot start.
    if (qEnvironmentVariableIsEmpty("DISPLAY") && qEnvironmentVariableIsEmpty("WAYLAND_DISPLAY") &&
        qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM")) {
        std::fprintf(stderr, "kiosk: no display (DISPLAY or WAYLAND_DISPLAY); run it in the kiosk's graphical "
                             "session, under xvfb-run, or with QT_QPA_PLATFORM=offscreen for checks\n");
        return exitCannotStart;
    }
    bool verbose = false;
    for (int i = 1; i < argc; ++i)
        verbose = verbose || !std::strcmp(argv[i], "--verbose");
    quietLogging(verbose);
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kiosk"));
    QCommandLineParser cli;
    describe(cli);
    cli.process(app);

    try {
        const ScreenSession::Options options = sessionOptions(cli);
        HostConfig& config = HostConfig::instance();
        config.load(cli.value(QStringLiteral("config")));
        QString consumer = cli.value(QStringLiteral("consumer"));
        const bool demo = cli.isSet(QStringLiteral("demo"));
        if (demo) {
            useDemoStore(config, cli.isSet(QStringLiteral("config")) || qEnvironmentVariableIsSet("KIOSK_CONFIG"));
            // The screen's own figures are taken on the demo consumer's screen.
            if (consumer.isEmpty() && (options.firstPaint || options.idleSeconds > 0))
                consumer = QString::fromLatin1(demoConsumer);
        }
        if (config.connectionString().isEmpty())
            throw ConfigError(
                QStringLiteral("no store configured (KIOSK_DB or [database] connection in %1)").arg(config.file()));
        StoreLocator::requireExistingStore(config.connectionString());
        DataPacket packet;
        QStringList codes;
        try {
            if (!consumer.isEmpty())
                packet = ConsumerDirectory::consumerPacket(config.connectionString(), consumer);
            else if (demo)
                codes = demoCodes(config.connectionString());
        } catch (const KioskError& e) {
            if (!demo)
                throw;
            throw KioskError(e.message() + QStringLiteral("; the demo store is incomplete: ./demo.sh repairs it"));
        }

        QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/libPkg_kvb52814.so"));
        if (!module.load())
            throw KioskError(QStringLiteral("cannot load the recharge module: %1").arg(module.errorString()));
        const auto entry = reinterpret_cast<Entry>(module.resolve("CriaRecSaldo"));
        if (!entry)
            throw KioskError(QStringLiteral("the recharge module has no entry CriaRecSaldo"));
        settlePurchaseJournal(module);
        if (consumer.isEmpty())
            return runHome(app, options, entry, reinterpret_cast<Settle>(module.resolve("SettlePurchaseJournal")),
                           config.connectionString(), codes, benchSessions(cli));

        ScreenSession session(options);
        entry(PacketVariant::of(packet));
        session.screenGone();
        if (!session.succeeded()) {
            std::fprintf(stderr, "kiosk: %s\n", qPrintable(session.failure()));
            return exitFailedCheck;
        }
        return 0;
    } catch (const ScriptError& e) {
        std::fprintf(stderr, "kiosk: %s\n", e.what());
        return exitFailedCheck;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kiosk: %s\n", e.what());
        return exitCannotStart;
    }
}
