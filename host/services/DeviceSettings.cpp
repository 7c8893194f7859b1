#include "DeviceSettings.h"

#include "KioskError.h"

namespace
{
// A wait of 0 to `most` milliseconds: a kiosk never waits days on a device with no countdown.
int milliseconds(const QString& key, const QString& value, int most)
{
    bool ok = false;
    const int n = value.toInt(&ok);
    if (!ok || n < 0 || n > most)
        throw ConfigError(
            QStringLiteral("%1: \"%2\" is not a number of milliseconds from 0 to %3").arg(key, value).arg(most));
    return n;
}

void fromEnvironment(const char* name, QString* target)
{
    if (qEnvironmentVariableIsSet(name))
        *target = qEnvironmentVariable(name);
}
} // namespace

bool TerminalSettings::set(const QString& key, const QString& value)
{
    if (key == QLatin1String("mode")) {
        const QString m = value.toLower();
        if (m != QLatin1String("approve") && m != QLatin1String("decline") && m != QLatin1String("fail"))
            throw ConfigError(QStringLiteral("terminal.mode: \"%1\" is not approve, decline or fail").arg(value));
        mode = m;
    } else if (key == QLatin1String("error")) {
        errorText = value;
    } else if (key == QLatin1String("delayms")) {
        delayMs = milliseconds(QStringLiteral("terminal.delayMs"), value, maxDelayMs);
    } else if (key == QLatin1String("bankcode")) {
        bankCode = value;
    } else if (key == QLatin1String("cardnumber")) {
        cardNumber = value;
    } else if (key == QLatin1String("transactions")) {
        transactionsFile = value;
    } else if (key == QLatin1String("library")) {
        library = value;
    } else if (key == QLatin1String("store")) {
        store = value;
    } else if (key == QLatin1String("terminal")) {
        terminalId = value;
    } else if (key == QLatin1String("script")) {
        script = value;
    } else {
        return false;
    }
    return true;
}

void TerminalSettings::applyEnvironment()
{
    if (qEnvironmentVariableIsSet("KIOSK_TERMINAL_MODE"))
        set(QStringLiteral("mode"), qEnvironmentVariable("KIOSK_TERMINAL_MODE"));
    if (qEnvironmentVariableIsSet("KIOSK_TERMINAL_DELAY_MS"))
        set(QStringLiteral("delayms"), qEnvironmentVariable("KIOSK_TERMINAL_DELAY_MS"));
    fromEnvironment("KIOSK_TERMINAL_ERROR", &errorText);
    fromEnvironment("KIOSK_TERMINAL_BANK_CODE", &bankCode);
    fromEnvironment("KIOSK_TERMINAL_CARD", &cardNumber);
    fromEnvironment("KIOSK_TERMINAL_FILE", &transactionsFile);
    fromEnvironment("KIOSK_TERMINAL_LIBRARY", &library);
    fromEnvironment("KIOSK_SITEF_STORE", &store);
    fromEnvironment("KIOSK_SITEF_TERMINAL", &terminalId);
    fromEnvironment("KIOSK_TERMINAL_SCRIPT", &script);
}

bool PrinterSettings::set(const QString& key, const QString& value)
{
    if (key.startsWith(QLatin1String("port."))) {
        ports.insert(key.mid(5).toUpper(), value);
    } else if (key == QLatin1String("port")) {
        allPorts = value;
    } else if (key == QLatin1String("counters")) {
        countersFile = value;
    } else if (key == QLatin1String("fiscaldate")) {
        fiscalDate = value;
    } else if (key == QLatin1String("timeoutms")) {
        timeoutMs = milliseconds(QStringLiteral("printer.timeoutMs"), value, maxTimeoutMs);
    } else {
        return false;
    }
    return true;
}

void PrinterSettings::applyEnvironment()
{
    fromEnvironment("KIOSK_PRINTER_PORT", &allPorts);
    fromEnvironment("KIOSK_PRINTER_COUNTERS", &countersFile);
    fromEnvironment("KIOSK_FISCAL_DATE", &fiscalDate);
    if (qEnvironmentVariableIsSet("KIOSK_PRINTER_TIMEOUT_MS"))
        set(QStringLiteral("timeoutms"), qEnvironmentVariable("KIOSK_PRINTER_TIMEOUT_MS"));
}
