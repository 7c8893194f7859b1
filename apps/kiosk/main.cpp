// kiosk: the host program. Reads its configuration, looks the consumer up, loads
// the recharge module and calls its entry; returns when the screen closes.
#include "ConnectionString.h"
#include "ConsumerDirectory.h"
#include "CoreDumps.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "KioskScript.h"
#include "ScreenSession.h"
#include "StoreLocator.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLibrary>
#include <cstdio>
#include <cstring>

namespace {
const char* const demoConsumer = "000000000000101";

// Exit statuses, as the help text lists them.
constexpr int exitFailedCheck = 1;
constexpr int exitCannotStart = 2;

QString description()
{
    return QStringLiteral("Self-service kiosk: balance recharge for one consumer.\n\n") +
           HostConfig::configurationHelp() +
           QStringLiteral(
               "  KIOSK_DATA_DIR  folder of PARAMETROSZEL.CDS\n"
               "  KIOSK_LOCALE    number and date format and language: pt_BR (default), en_US, es_ES\n"
               "  KIOSK_TERMINAL_MODE (approve, decline, fail), KIOSK_TERMINAL_DELAY_MS, KIOSK_TERMINAL_ERROR,\n"
               "  KIOSK_TERMINAL_BANK_CODE, KIOSK_TERMINAL_CARD, KIOSK_TERMINAL_FILE: the simulated payment terminal\n"
               "  KIOSK_PRINTER_PORT (file, device or tcp://HOST:PORT), KIOSK_PRINTER_COUNTERS, KIOSK_FISCAL_DATE\n"
               "--demo uses the demo store that ./demo.sh creates in the project's demo-data folder.\n"
               "\n"
               "Exit status: 0 done; 1 a script line or the screenshot failed; 2 the kiosk could not start.");
}

void describe(QCommandLineParser& cli)
{
    cli.setApplicationDescription(description());
    cli.addHelpOption();
    cli.addOption({QStringLiteral("config"), QStringLiteral("Configuration file."), QStringLiteral("file")});
    cli.addOption({QStringLiteral("consumer"), QStringLiteral("Consumer code to open the screen for."),
                   QStringLiteral("code")});
    cli.addOption({QStringLiteral("demo"), QStringLiteral("Use the demo store and its demo consumer.")});
    cli.addOption({QStringLiteral("script"),
                   QStringLiteral("Play a check script against the screen, then close it (see the README)."),
                   QStringLiteral("file")});
    cli.addOption({QStringLiteral("screenshot"),
                   QStringLiteral("Save the screen to a PNG once it is up (after the script), then close it."),
                   QStringLiteral("file")});
    cli.addOption({QStringLiteral("measure-first-paint"),
                   QStringLiteral("Benchmark: print the time to the first paint showing the balances and the "
                                  "resident memory, then close.")});
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

// --demo: the demo store beside the project unless the configuration names one.
void useDemoStore(HostConfig& config)
{
    const QString programFolder = QCoreApplication::applicationDirPath();
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
void settlePurchaseJournal(QLibrary& module)
{
    using Settle = int (*)();
    const auto settle = reinterpret_cast<Settle>(module.resolve("SettlePurchaseJournal"));
    if (!settle) {
        std::fprintf(stderr, "kiosk: the recharge module cannot settle the purchase journal\n");
        return;
    }
    const int left = settle();
    if (left < 0)
        std::fprintf(stderr, "kiosk: the purchase journal could not be settled now; it is tried again at the next "
                             "start (or with kioskctl recover)\n");
    else if (left > 0)
        std::fprintf(stderr, "kiosk: %d paid purchase(s) still unsettled in the purchase journal; see kioskctl "
                             "recover\n", left);
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
            useDemoStore(config);
            if (consumer.isEmpty())
                consumer = QString::fromLatin1(demoConsumer);
        }
        if (consumer.isEmpty())
            throw ConfigError(QStringLiteral("no consumer given (use --consumer CODE or --demo)"));
        if (config.connectionString().isEmpty())
            throw ConfigError(QStringLiteral("no store configured (KIOSK_DB or [database] connection in %1)")
                                  .arg(config.file()));
        StoreLocator::requireExistingStore(config.connectionString());

        DataPacket packet;
        try {
            packet = ConsumerDirectory::consumerPacket(config.connectionString(), consumer);
        } catch (const KioskError& e) {
            if (!demo)
                throw;
            throw KioskError(e.message() + QStringLiteral("; the demo store is incomplete: ./demo.sh repairs it"));
        }

        QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/libPkg_kvb52814.so"));
        if (!module.load())
            throw KioskError(QStringLiteral("cannot load the recharge module: %1").arg(module.errorString()));
        using Entry = void (*)(const QVariant&);
        const auto entry = reinterpret_cast<Entry>(module.resolve("CriaRecSaldo"));
        if (!entry)
            throw KioskError(QStringLiteral("the recharge module has no entry CriaRecSaldo"));
        settlePurchaseJournal(module);

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
