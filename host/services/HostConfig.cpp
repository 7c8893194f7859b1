#include "HostConfig.h"

#include "KioskError.h"

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QLocale>
#include <QStandardPaths>

HostConfig& HostConfig::instance()
{
    static HostConfig config;
    return config;
}

QString HostConfig::defaultFile()
{
    const QString env = qEnvironmentVariable("KIOSK_CONFIG");
    if (!env.isEmpty())
        return env;
    // The user's own file, else the installed kiosk's, so that kioskctl run by a
    // technician on an installed kiosk reads the same file as the service.
    const QString user =
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) + QStringLiteral("/kiosk/kiosk.conf");
    const QString installed = QStringLiteral("/etc/kiosk/kiosk.conf");
    return !QFileInfo::exists(user) && QFileInfo::exists(installed) ? installed : user;
}

void HostConfig::load(const QString& file)
{
    const bool explicitFile = !file.isEmpty() || qEnvironmentVariableIsSet("KIOSK_CONFIG");
    m_file = file.isEmpty() ? defaultFile() : file;
    m_terminal = TerminalSettings();
    m_printer = PrinterSettings();
    QFile f(m_file);
    if (f.open(QIODevice::ReadOnly | QIODevice::Text)) {
        QString section;
        int lineNo = 0;
        while (!f.atEnd()) {
            ++lineNo;
            const QString line = QString::fromUtf8(f.readLine()).trimmed();
            if (line.isEmpty() || line.startsWith(QLatin1Char('#')))
                continue;
            if (line.startsWith(QLatin1Char('[')) && line.endsWith(QLatin1Char(']'))) {
                section = line.mid(1, line.size() - 2).trimmed().toLower();
                continue;
            }
            const int eq = line.indexOf(QLatin1Char('='));
            if (eq < 0)
                throw ConfigError(QStringLiteral("%1, line %2: expected \"key = value\"").arg(m_file).arg(lineNo));
            const QString key = section + QLatin1Char('.') + line.left(eq).trimmed().toLower();
            const QString value = line.mid(eq + 1).trimmed();
            if (key == QLatin1String("database.connection"))
                m_connectionString = value;
            else if (key == QLatin1String("kiosk.datafolder"))
                m_dataFolder = value;
            else if (key == QLatin1String("kiosk.locale"))
                m_locale = value;
            else if (section == QLatin1String("terminal") && m_terminal.set(key.mid(9), value))
                continue;
            else if (section == QLatin1String("printer") && m_printer.set(key.mid(8), value))
                continue;
            else
                throw ConfigError(
                    QStringLiteral("%1, line %2: unknown setting \"%3\"").arg(m_file).arg(lineNo).arg(key));
        }
    } else if (explicitFile) {
        throw ConfigError(QStringLiteral("%1: cannot be read (%2)").arg(m_file, f.errorString()));
    }
    if (qEnvironmentVariableIsSet("KIOSK_DB"))
        m_connectionString = qEnvironmentVariable("KIOSK_DB");
    if (qEnvironmentVariableIsSet("KIOSK_DATA_DIR"))
        m_dataFolder = qEnvironmentVariable("KIOSK_DATA_DIR");
    if (qEnvironmentVariableIsSet("KIOSK_LOCALE"))
        m_locale = qEnvironmentVariable("KIOSK_LOCALE");
    m_terminal.applyEnvironment();
    m_printer.applyEnvironment();
    // Dates in counter keys and amounts on screen follow the installation's format.
    QLocale::setDefault(QLocale(m_locale));
}

QString HostConfig::programFolder() const
{
    if (!m_dataFolder.isEmpty())
        return QDir::cleanPath(m_dataFolder);
    return QCoreApplication::applicationDirPath();
}

QString HostConfig::configurationHelp()
{
    return QStringLiteral(
               "Configuration file: --config FILE, else $KIOSK_CONFIG, else ~/.config/kiosk/kiosk.conf\n"
               "($XDG_CONFIG_HOME/kiosk/kiosk.conf), else the installed kiosk's /etc/kiosk/kiosk.conf;\n"
               "here: %1. None is needed: every setting can come from the environment.\n"
               "Environment, overriding the file:\n"
               "  KIOSK_CONFIG    the configuration file\n"
               "  KIOSK_DB        store connection string, e.g. Provider=SQLITE;Data Source=/var/lib/kiosk/store.db\n")
        .arg(defaultFile());
}
