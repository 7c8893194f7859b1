#pragma once

#include "DataPacket.h"

#include <QObject>
#include <QPointer>
#include <functional>
#include <optional>

class TfrmHome;

// The kiosk's day: the home screen takes a consumer's code, the consumer is
// looked up and served (the recharge screen runs until it closes), then the
// purchase journal is settled and the home screen waits, cleared, for the next
// one. One consumer at a time: codes that arrive while one is served are dropped.
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
    };

    HomeLoop(TfrmHome& home, Services services, QObject* parent = nullptr);

    bool serving() const { return m_serving; }
    int consumersServed() const { return m_served; }
    // No consumer is taken after this (the kiosk is ending).
    void stop() { m_stopped = true; }

signals:
    // A consumer's recharge screen has closed and the home screen is ready again.
    void consumerDone();

private:
    void take(const QString& code);
    void serve(const QString& code);

    QPointer<TfrmHome> m_home;
    Services m_services;
    bool m_serving = false;
    bool m_stopped = false;
    int m_served = 0;
};
