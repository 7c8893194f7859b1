#pragma once

#include "HostExport.h"

#include <QObject>

class SqlConnection;

// The host's number generator: named counters in NOVOCODIGO, each reservation
// made atomically in a short transaction of its own (an upsert that returns the
// new last number), so kiosks sharing a store never receive the same number.
// On a server engine it works on a connection of its own, kept open for later
// instances of the same thread; on the embedded engine, which admits one writer,
// it works on the caller's connection (inside the caller's transaction if one is open).
class HOST_EXPORT TdtmZelProxCodigo : public QObject
{
    Q_OBJECT
public:
    explicit TdtmZelProxCodigo(SqlConnection* callerConnection, QObject* owner = nullptr);

    // First of `count` consecutive cash movement numbers of a till's turn, 10-digit text.
    QString PrxMovCaixa(const QString& cdFilial, const QString& cdCaixa, double dtAberCaix, int count);
    // Next fiscal document number of a printer serial, 10-digit text.
    QString PrxDocNFiscEcf(const QString& serial);
    // Reserves `count` numbers of counter `key`; returns the first.
    QString reserve(const QString& key, int count);

    // Closes the connections kept for reservations (at exit, or when the store changes).
    static void releasePooledConnections();

private:
    SqlConnection* m_caller;
};
