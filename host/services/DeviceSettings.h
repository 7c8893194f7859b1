#pragma once

#include "HostExport.h"

#include <QMap>
#include <QString>

// The payment terminal. The kiosk configuration's [terminal] section, each
// overridable from the environment. The card-payment library (CliSiTef) the kiosk
// loads, the payment provider's or our stand-in; a kiosk whose configuration names
// none refuses every purchase:
//   library = /opt/clisitef/libclisitef.so KIOSK_TERMINAL_LIBRARY
//   store = 00000000                       KIOSK_SITEF_STORE         (the store's id on the payment server)
//   terminal = KS000001                    KIOSK_SITEF_TERMINAL      (this kiosk's id there, unique per store)
// Our stand-in library (the demo's and the tests') answers as these say:
//   mode = approve | decline | fail        KIOSK_TERMINAL_MODE
//   error = text a failing terminal gives  KIOSK_TERMINAL_ERROR
//   delayMs = 1500                         KIOSK_TERMINAL_DELAY_MS   (time the "card holder" takes)
//   bankCode = 001  (empty: none returned) KIOSK_TERMINAL_BANK_CODE
//   cardNumber = 4111111111111111          KIOSK_TERMINAL_CARD       (masked before it leaves the library)
//   transactions = /path/file.db           KIOSK_TERMINAL_FILE       (default: data folder/terminal-transactions.db)
//   script = message:...|menu:...|...      KIOSK_TERMINAL_SCRIPT     the prompts it asks first
struct HOST_EXPORT TerminalSettings {
    QString mode; // the stand-in's answer; empty: approve
    QString errorText = QStringLiteral("Terminal sem comunicação");
    int delayMs = 0;
    static constexpr int maxDelayMs = 120000; // two minutes: a card holder's longest plausible time
    QString bankCode = QStringLiteral("001");
    QString cardNumber = QStringLiteral("4111111111111111");
    QString transactionsFile;
    QString library;
    QString store = QStringLiteral("00000000");
    QString terminalId;
    QString script;

    bool usesLibrary() const { return !library.isEmpty(); }
    // Applies "key = value" of the [terminal] section; false for an unknown key. Throws ConfigError on a bad value.
    bool set(const QString& key, const QString& value);
    void applyEnvironment();
    // A terminal was chosen: purchases can be paid.
    bool configured() const { return usesLibrary(); }
};

// The receipt printer. The [printer] section:
//   port.COM1 = tcp://10.0.0.20:9100  where a port name of the parameters file really goes
//                                      (a file, a device such as /dev/usb/lp0, or tcp://HOST:PORT)
//   port = /path/receipts.txt         KIOSK_PRINTER_PORT: every port goes there (demo, tests)
//   counters = /path/counters.json    KIOSK_PRINTER_COUNTERS (default: data folder/printer-counters.json)
//   fiscalDate = 2026-12-08           KIOSK_FISCAL_DATE: the fiscal movement date instead of today
//   timeoutMs = 5000                  KIOSK_PRINTER_TIMEOUT_MS: time a network or device printer has
//                                     to take a receipt
struct HOST_EXPORT PrinterSettings {
    QMap<QString, QString> ports;
    QString allPorts;
    QString countersFile;
    QString fiscalDate;
    int timeoutMs = 5000;
    static constexpr int maxTimeoutMs = 120000; // two minutes, also for a printer a test drives by hand

    bool set(const QString& key, const QString& value);
    void applyEnvironment();
};
