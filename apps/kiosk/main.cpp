// kiosk: the host program. Reads its configuration, looks the consumer up, loads
// the recharge module and calls its entry; returns when the screen closes.
#include "ConsumerDirectory.h"
#include "HostConfig.h"
#include "KioskError.h"

#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QLibrary>
#include <QPixmap>
#include <QTimer>
#include <QWidget>
#include <cstdio>

namespace {
const char* const demoConsumer = "000000000000101";

// Saves a picture of the recharge screen once it is up, then closes it.
class ScreenshotTaker : public QObject
{
public:
    explicit ScreenshotTaker(QString file) : m_file(std::move(file)) {}

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("frmRecSaldo") && !m_done) {
            m_done = true;
            auto* screen = static_cast<QWidget*>(watched);
            QTimer::singleShot(300, screen, [this, screen] {
                const bool ok = screen->grab().save(m_file, "PNG");
                std::fprintf(stderr, ok ? "screenshot saved to %s\n" : "could not write %s\n", qPrintable(m_file));
                m_saved = ok;
                screen->close();
            });
        }
        return false;
    }
    bool saved() const { return m_saved; }

private:
    QString m_file;
    bool m_done = false;
    bool m_saved = false;
};
} // namespace

int main(int argc, char* argv[])
{
    QApplication app(argc, argv);
    QCoreApplication::setApplicationName(QStringLiteral("kiosk"));

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Self-service kiosk: balance recharge for one consumer."));
    cli.addHelpOption();
    cli.addOption({QStringLiteral("config"), QStringLiteral("Configuration file."), QStringLiteral("file")});
    cli.addOption({QStringLiteral("consumer"), QStringLiteral("Consumer code to open the screen for."),
                   QStringLiteral("code")});
    cli.addOption({QStringLiteral("demo"), QStringLiteral("Use the demo store and its demo consumer.")});
    cli.addOption({QStringLiteral("screenshot"), QStringLiteral("Save the screen to a PNG after start-up and exit."),
                   QStringLiteral("file")});
    cli.process(app);

    try {
        HostConfig& config = HostConfig::instance();
        config.load(cli.value(QStringLiteral("config")));
        QString consumer = cli.value(QStringLiteral("consumer"));
        if (cli.isSet(QStringLiteral("demo"))) {
            if (config.dataFolder().isEmpty())
                config.setDataFolder(QDir::currentPath() + QStringLiteral("/demo-data"));
            if (config.connectionString().isEmpty())
                config.setConnectionString(QStringLiteral("Provider=SQLITE;Data Source=") + config.dataFolder() +
                                           QStringLiteral("/store.db"));
            if (consumer.isEmpty())
                consumer = QString::fromLatin1(demoConsumer);
        }
        if (consumer.isEmpty())
            throw ConfigError(QStringLiteral("no consumer given (use --consumer CODE or --demo)"));

        const DataPacket packet = ConsumerDirectory::consumerPacket(config.connectionString(), consumer);

        QLibrary module(QCoreApplication::applicationDirPath() + QStringLiteral("/libPkg_kvb52814.so"));
        if (!module.load())
            throw KioskError(QStringLiteral("cannot load the recharge module: %1").arg(module.errorString()));
        using Entry = void (*)(const QVariant&);
        const auto entry = reinterpret_cast<Entry>(module.resolve("CriaRecSaldo"));
        if (!entry)
            throw KioskError(QStringLiteral("the recharge module has no entry CriaRecSaldo"));

        ScreenshotTaker screenshot(cli.value(QStringLiteral("screenshot")));
        if (cli.isSet(QStringLiteral("screenshot")))
            app.installEventFilter(&screenshot);
        entry(PacketVariant::of(packet));
        if (cli.isSet(QStringLiteral("screenshot")) && !screenshot.saved())
            return 1;
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kiosk: %s\n", e.what());
        return 2;
    }
}
