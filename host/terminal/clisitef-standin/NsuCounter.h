#pragma once

#include <QString>
#include <QtGlobal>

// The stand-in card-payment library's last NSU, in a file of its own beside its
// transactions: replaced atomically and synced before a number is handed out, so
// that no number is ever handed out twice, even when the transactions file is
// lost or damaged. A counter file that cannot be read counts as 0; the caller
// passes the highest NSU it sees elsewhere.
class NsuCounter
{
public:
    explicit NsuCounter(QString file) : m_file(std::move(file)) {}
    // The number after both the counter and `highestSeen`, made durable before it is returned.
    qint64 next(qint64 highestSeen);
    // Raises the counter to `value` when it is lower.
    void atLeast(qint64 value);
    qint64 current() const;

private:
    QString m_file;
};
