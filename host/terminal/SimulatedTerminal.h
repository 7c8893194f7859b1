#pragma once

#include "DeviceSettings.h"
#include "HostExport.h"
#include "PaymentTerminal.h"

#include <QDateTime>
#include <QList>
#include <functional>

// A card-payment server on the kiosk itself, answering as the configuration says.
// It keeps every transaction in a JSON-lines file (one line per change of state,
// synced to disk), so its answers survive a restart and a test or the technician
// can see how each purchase ended. The card number given out is the configured one
// unmasked, as a real server's would be; callers mask it.
class HOST_EXPORT SimulatedTerminal : public PaymentTerminal
{
public:
    // Waits `ms` milliseconds while the kiosk keeps handling events.
    using Sleeper = std::function<void(int ms)>;

    struct Transaction {
        QString nsu;
        TerminalState state = TerminalState::Pending;
        double amount = 0;
        QString cardNumber; // masked
        QString description;
        QString text;
        QDateTime changedAt;
    };

    SimulatedTerminal(TerminalSettings settings, QString file, Sleeper sleeper = {});
    // From the kiosk configuration: its [terminal] section and the data folder.
    static QString defaultFile();

    TerminalAnswer authorise(const TerminalRequest& request) override;
    void confirm(const QString& nsu) override;
    void undo(const QString& nsu) override;
    std::optional<TerminalState> status(const QString& nsu) override;

    // Every transaction in the order first seen, each in its last state.
    QList<Transaction> transactions() const;
    const QString& file() const { return m_file; }
    TerminalSettings& settings() { return m_settings; }

    // Sleeps in a local event loop: timers, painting and input keep running.
    static void sleepProcessingEvents(int ms);

private:
    void settle(const QString& nsu, TerminalState to);

    TerminalSettings m_settings;
    QString m_file;
    Sleeper m_sleeper;
};
