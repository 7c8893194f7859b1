#pragma once

#include "DeviceSettings.h"
#include "HostExport.h"

#include <QString>

// The kiosk installation's configuration: an INI-style file ("key = value" under
// [section] headers, '#' comments), each value overridable from the environment.
//
//   [database]
//   connection = Provider=SQLITE;Data Source=/var/lib/kiosk/store.db     (KIOSK_DB)
//   [kiosk]
//   dataFolder = /var/lib/kiosk        folder of PARAMETROSZEL.CDS    (KIOSK_DATA_DIR)
//   locale = pt_BR                     number/date format, language   (KIOSK_LOCALE)
//   [terminal], [printer]              see DeviceSettings.h
//
// The file is KIOSK_CONFIG, else $XDG_CONFIG_HOME/kiosk/kiosk.conf, else (an installed
// kiosk) /etc/kiosk/kiosk.conf.
class HOST_EXPORT HostConfig
{
public:
    static HostConfig& instance();

    // Reads `file` (or the default one when empty; a missing default file is not an error),
    // then applies the environment.
    void load(const QString& file = QString());
    static QString defaultFile();
    // Where the configuration comes from and the variables every program reads, for --help;
    // a program lists its own variables after it.
    static QString configurationHelp();

    const QString& connectionString() const { return m_connectionString; }
    void setConnectionString(const QString& s) { m_connectionString = s; }
    const QString& dataFolder() const { return m_dataFolder; }
    void setDataFolder(const QString& s) { m_dataFolder = s; }
    const QString& locale() const { return m_locale; }
    void setLocale(const QString& s) { m_locale = s; }
    const QString& file() const { return m_file; }
    TerminalSettings& terminal() { return m_terminal; }
    const TerminalSettings& terminal() const { return m_terminal; }
    PrinterSettings& printer() { return m_printer; }
    const PrinterSettings& printer() const { return m_printer; }

    // Folder where the host keeps PARAMETROSZEL.CDS: the data folder when one is
    // configured, else the folder of the running program.
    QString programFolder() const;

private:
    QString m_file;
    QString m_connectionString;
    QString m_dataFolder;
    QString m_locale = QStringLiteral("pt_BR");
    TerminalSettings m_terminal;
    PrinterSettings m_printer;
};
