#include "TdtmZelProxCodigo.h"

#include "Consiste.h"
#include "DateTimeValue.h"
#include "ConnectionString.h"
#include "Geralzel.h"
#include "KioskError.h"
#include "Logging.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

#include <QHash>
#include <QThreadStorage>
#include <memory>

namespace {
// The counter holds the last number issued, as 10-digit text. A counter that does not hold a
// number, or has fewer than the requested numbers left before 9999999999, is not touched and
// returns no row: it never wraps to 0000000000 nor loses its leading digit.
const char* const upsertPostgres =
    "INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES (:P_CDCONTADOR, :P_PRIMEIRO)\n"
    "ON CONFLICT (CDCONTADOR) DO UPDATE\n"
    "   SET NRSEQUENCIAL = LPAD(CAST(CAST(NOVOCODIGO.NRSEQUENCIAL AS BIGINT) + :P_QUANTIDADE AS VARCHAR), 10, '0')\n"
    " WHERE CASE WHEN NOVOCODIGO.NRSEQUENCIAL ~ '^[0-9]{1,18}$'\n"
    "            THEN CAST(NOVOCODIGO.NRSEQUENCIAL AS BIGINT) <= :P_MAXIMO ELSE FALSE END\n"
    "RETURNING NRSEQUENCIAL";
const char* const upsertSqlite =
    "INSERT INTO NOVOCODIGO (CDCONTADOR, NRSEQUENCIAL) VALUES (:P_CDCONTADOR, :P_PRIMEIRO)\n"
    "ON CONFLICT (CDCONTADOR) DO UPDATE\n"
    "   SET NRSEQUENCIAL = substr('0000000000' || (CAST(NRSEQUENCIAL AS INTEGER) + :P_QUANTIDADE), -10, 10)\n"
    " WHERE NRSEQUENCIAL <> '' AND NRSEQUENCIAL NOT GLOB '*[^0-9]*' AND length(NRSEQUENCIAL) <= 18\n"
    "   AND CAST(NRSEQUENCIAL AS INTEGER) <= :P_MAXIMO\n"
    "RETURNING NRSEQUENCIAL";
const char* const upsertMssql =
    "MERGE NOVOCODIGO WITH (HOLDLOCK) AS T USING (SELECT :P_CDCONTADOR AS CDCONTADOR) AS S\n"
    "   ON T.CDCONTADOR = S.CDCONTADOR\n"
    "WHEN MATCHED AND TRY_CAST(T.NRSEQUENCIAL AS BIGINT) <= :P_MAXIMO THEN UPDATE SET NRSEQUENCIAL =\n"
    "   RIGHT('0000000000' + CAST(CAST(T.NRSEQUENCIAL AS BIGINT) + :P_QUANTIDADE AS VARCHAR(20)), 10)\n"
    "WHEN NOT MATCHED THEN INSERT (CDCONTADOR, NRSEQUENCIAL) VALUES (S.CDCONTADOR, :P_PRIMEIRO)\n"
    "OUTPUT inserted.NRSEQUENCIAL;";

// Counters are 10-digit numbers.
constexpr qint64 lastCounterNumber = 9999999999;

struct Pool
{
    QHash<QString, std::shared_ptr<SqlConnection>> byConnectionString;
};
QThreadStorage<Pool*> pools;

Pool& pool()
{
    if (!pools.hasLocalData())
        pools.setLocalData(new Pool);
    return *pools.localData();
}

SqlConnection& pooledConnection(const QString& connectionString)
{
    auto& slot = pool().byConnectionString[connectionString];
    if (!slot) {
        slot = std::make_shared<SqlConnection>(QStringLiteral("dtmZelProxCodigo"));
        slot->setConnectionString(connectionString);
    }
    slot->open();
    return *slot;
}
// The reservation statement, prepared once per connection (a child of it, so it
// goes with the connection and re-prepares when the connection reopens).
SqlQuery& reservationStatement(SqlConnection& conn, const QString& kind)
{
    const QString name = QStringLiteral("dtmZelProxCodigo.reserve");
    if (auto* q = conn.findChild<SqlQuery*>(name, Qt::FindDirectChildrenOnly))
        return *q;
    auto* q = new SqlQuery(name, &conn, &conn);
    const char* text = kind == QLatin1String("SQLITE")  ? upsertSqlite
                       : kind == QLatin1String("MSSQL") ? upsertMssql
                                                        : upsertPostgres;
    q->setSql(QString::fromLatin1(text));
    return *q;
}
} // namespace

TdtmZelProxCodigo::TdtmZelProxCodigo(SqlConnection* callerConnection, QObject* owner)
    : QObject(owner), m_caller(callerConnection)
{
    setObjectName(QStringLiteral("dtmZelProxCodigo"));
}

void TdtmZelProxCodigo::releasePooledConnections()
{
    if (pools.hasLocalData())
        pool().byConnectionString.clear();
}

QString TdtmZelProxCodigo::reserve(const QString& key, int count)
{
    if (count < 1 || count > lastCounterNumber)
        throw KioskError(QStringLiteral("counter %1: cannot reserve %2 numbers").arg(key).arg(count));
    const QString cs = m_caller ? m_caller->connectionString() : Geralzel::_GetStringConexZel(QString());
    const QString kind = ConnectionString(cs).kind();
    const bool embedded = kind == QLatin1String("SQLITE");
    if (embedded && !m_caller)
        throw KioskError(QStringLiteral("counter %1: the embedded store needs the caller's connection").arg(key));
    SqlConnection& conn = embedded ? *m_caller : pooledConnection(cs);
    SqlQuery& upsert = reservationStatement(conn, kind);
    upsert.close();
    upsert.paramByName(QStringLiteral("P_CDCONTADOR")).setAsString(key);
    upsert.paramByName(QStringLiteral("P_PRIMEIRO")).setAsString(Consiste::Ajusta(QString::number(count), 10));
    upsert.paramByName(QStringLiteral("P_QUANTIDADE")).setAsInteger(count);
    upsert.paramByName(QStringLiteral("P_MAXIMO")).setAsInteger(lastCounterNumber - count);

    const bool ownTransaction = !conn.inTransaction();
    if (ownTransaction)
        conn.beginTrans();
    QString last;
    try {
        upsert.open();
        // A counter that does not hold a number, or is too near its end, is left alone and returns no row.
        if (upsert.eof())
            throw KioskError(QStringLiteral("counter %1 cannot issue %2 more number(s): it holds a value that is not a "
                                            "number or has fewer left before %3")
                                 .arg(key)
                                 .arg(count)
                                 .arg(lastCounterNumber));
        last = upsert.fieldByName(QStringLiteral("NRSEQUENCIAL")).asString();
        upsert.close();
        if (ownTransaction)
            conn.commitTrans();
    } catch (...) {
        if (ownTransaction && conn.inTransaction()) {
            try {
                conn.rollbackTrans();
            } catch (const KioskError& e) {
                // The reservation's own failure is what the caller must see.
                qCWarning(lcSql).noquote() << "counter" << key << "rollback failed too:" << e.message();
            }
        }
        if (!embedded)
            conn.close(); // a broken session reconnects at the next reservation
        throw;
    }
    bool ok = false;
    const qint64 lastNumber = last.toLongLong(&ok);
    if (!ok || lastNumber < count || lastNumber > lastCounterNumber)
        throw KioskError(
            QStringLiteral("counter %1 holds \"%2\", not a number from 1 to %3").arg(key, last).arg(lastCounterNumber));
    return Consiste::Ajusta(QString::number(lastNumber - count + 1), 10);
}

QString TdtmZelProxCodigo::PrxMovCaixa(const QString& cdFilial, const QString& cdCaixa, double dtAberCaix, int count)
{
    const QString turn = DateTimeValue::toDateTime(dtAberCaix).toString(QStringLiteral("yyyyMMddHHmmss"));
    return reserve(QStringLiteral("MOVCAIXA") + cdFilial + QLatin1Char('.') + cdCaixa + QLatin1Char('.') + turn, count);
}

QString TdtmZelProxCodigo::PrxDocNFiscEcf(const QString& serial)
{
    return reserve(QStringLiteral("DOCNFISCECF") + serial, 1);
}
