#pragma once

#include "DataPacket.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <memory>
#include <optional>

class BackgroundThread;
class TfrmHome;

// The kiosk's day: the home screen takes a consumer's code, the consumer is
// looked up and served (the recharge screen runs until it closes), then the
// purchase journal is settled and the home screen waits, cleared, for the next
// one. One consumer at a time: codes that arrive while one is served are dropped.
// The look-up and the settlement run away from the screen's thread: a store that is
// slow or silent leaves the home screen painting, with "Aguarde..." on it.
class HomeLoop : public QObject
{
    Q_OBJECT
public:
    struct Services {
        // The consumer packet for a code, or nothing when the store holds no such
        // consumer; throws when the store cannot be read.
        std::function<std::optional<DataPacket>(const QString& code)> lookUp;
        // Runs the recharge screen for the consumer; returns when it has closed.
        std::function<void(const DataPacket& consumer)> serve;
        // Settles what the purchase journal holds open: how many paid purchases
        // are still unsettled, -1 when it could not be settled.
        std::function<int()> settle;
        // Runs `job` (the look-up, the settlement) away from the screen's thread, then
        // `done` back on it. Empty: a thread of the loop's own.
        std::function<void(std::function<void()> job, std::function<void()> done)> background;
    };

    HomeLoop(TfrmHome& home, Services services, QObject* parent = nullptr);
    ~HomeLoop() override;

    bool serving() const { return m_serving; }
    int consumersServed() const { return m_served; }
    // No consumer is taken after this (the kiosk is ending).
    void stop() { m_stopped = true; }

signals:
    // A consumer's recharge screen has closed and the home screen is ready again.
    void consumerDone();

private:
    void take(const QString& code);
    void lookUp(const QString& code);
    void found(const QString& code, const std::optional<DataPacket>& consumer, const QString& failure);
    void settled(int left, const QString& screenFailure);
    void ready(const QString& message);

    QPointer<TfrmHome> m_home;
    Services m_services;
    std::unique_ptr<BackgroundThread> m_thread;
    bool m_serving = false;
    bool m_stopped = false;
    int m_served = 0;
};
