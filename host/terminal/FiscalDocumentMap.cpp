#include "FiscalDocumentMap.h"

#include "Clock.h"
#include "HostConfig.h"
#include "LocalDatabase.h"

#include <QCoreApplication>
#include <QSqlQuery>

#include <cerrno>
#include <signal.h>

namespace
{
const QString schema = QStringLiteral(
    "CREATE TABLE IF NOT EXISTS terminal_document (id INTEGER PRIMARY KEY AUTOINCREMENT, coupon TEXT NOT NULL, "
    "date TEXT NOT NULL, time TEXT NOT NULL, server TEXT NOT NULL, amount REAL NOT NULL, nsu TEXT NOT NULL, "
    "state TEXT NOT NULL, changed_at TEXT NOT NULL, process INTEGER NOT NULL, UNIQUE (coupon, date));"
    "CREATE INDEX IF NOT EXISTS terminal_document_nsu ON terminal_document (nsu);"
    "CREATE INDEX IF NOT EXISTS terminal_document_state ON terminal_document (state)");

const char* const stateNames[] = {"started", "approved", "declined", "confirmed", "undone"};

QString nameOf(FiscalDocumentMap::State s)
{
    return QString::fromLatin1(stateNames[int(s)]);
}

FiscalDocumentMap::State stateOf(const QString& name)
{
    for (int i = 0; i < 5; ++i) {
        if (name == QLatin1String(stateNames[i]))
            return FiscalDocumentMap::State(i);
    }
    return FiscalDocumentMap::State::Started;
}

QString now()
{
    return Clock::instance().now().toString(Qt::ISODateWithMs);
}

const QString columns = QStringLiteral("SELECT coupon, date, time, server, amount, nsu, state, changed_at, process "
                                       "FROM terminal_document ");

QList<FiscalDocumentMap::Entry> entries(QSqlQuery q)
{
    QList<FiscalDocumentMap::Entry> list;
    while (q.next()) {
        FiscalDocumentMap::Entry e;
        e.document = {q.value(0).toString(), q.value(1).toString(), q.value(2).toString()};
        e.server = q.value(3).toString();
        // A REAL column: read back through the one rounding of a binary amount.
        e.amount = Money::fromUnits(q.value(4).toDouble(),
                                    QStringLiteral("the amount of fiscal document ") + e.document.coupon);
        e.nsu = q.value(5).toString();
        e.state = stateOf(q.value(6).toString());
        e.changedAt = QDateTime::fromString(q.value(7).toString(), Qt::ISODateWithMs);
        e.process = q.value(8).toLongLong();
        list.append(e);
    }
    return list;
}
} // namespace

QString FiscalDocumentMap::defaultFile()
{
    return HostConfig::instance().programFolder() + QStringLiteral("/terminal-documents.db");
}

FiscalDocument FiscalDocumentMap::start(FiscalDocument requested, const QString& server, Money amount)
{
    LocalDatabase db(m_file, schema);
    LocalTransaction tx(db);
    const bool generated = requested.coupon.isEmpty();
    if (!generated) {
        QSqlQuery taken = db.exec(QStringLiteral("SELECT 1 FROM terminal_document WHERE coupon = :coupon AND date = "
                                                 ":date"),
                                  {{QStringLiteral("coupon"), requested.coupon}, {QStringLiteral("date"), requested.date}});
        if (taken.next())
            throw TerminalError(QStringLiteral("fiscal document %1 of %2 already has a card payment")
                                    .arg(requested.coupon, requested.date));
    }
    QSqlQuery q = db.exec(QStringLiteral("INSERT INTO terminal_document (coupon, date, time, server, amount, nsu, "
                                         "state, changed_at, process) VALUES (:coupon, :date, :time, :server, :amount, "
                                         "'', 'started', :changed, :process)"),
                          {{QStringLiteral("coupon"), generated ? QStringLiteral("pending") : requested.coupon},
                           {QStringLiteral("date"), requested.date},
                           {QStringLiteral("time"), requested.time},
                           {QStringLiteral("server"), server.isNull() ? QStringLiteral("") : server}, // never NULL
                           {QStringLiteral("amount"), amount.units()},
                           {QStringLiteral("changed"), now()},
                           {QStringLiteral("process"), QCoreApplication::applicationPid()}});
    if (generated) {
        // The row's number is the coupon: AUTOINCREMENT never hands one out twice.
        requested.coupon = q.lastInsertId().toString();
        db.exec(QStringLiteral("UPDATE terminal_document SET coupon = :coupon WHERE id = :id"),
                {{QStringLiteral("coupon"), requested.coupon}, {QStringLiteral("id"), q.lastInsertId()}});
    }
    tx.commit();
    return requested;
}

void FiscalDocumentMap::approve(const FiscalDocument& document, const QString& nsu)
{
    LocalDatabase db(m_file, schema);
    db.exec(QStringLiteral("UPDATE terminal_document SET nsu = :nsu, state = 'approved', changed_at = :changed "
                           "WHERE coupon = :coupon AND date = :date"),
            {{QStringLiteral("nsu"), nsu},
             {QStringLiteral("changed"), now()},
             {QStringLiteral("coupon"), document.coupon},
             {QStringLiteral("date"), document.date}});
}

void FiscalDocumentMap::end(const FiscalDocument& document, State state)
{
    LocalDatabase db(m_file, schema);
    db.exec(QStringLiteral("UPDATE terminal_document SET state = :state, changed_at = :changed "
                           "WHERE coupon = :coupon AND date = :date"),
            {{QStringLiteral("state"), nameOf(state)},
             {QStringLiteral("changed"), now()},
             {QStringLiteral("coupon"), document.coupon},
             {QStringLiteral("date"), document.date}});
}

std::optional<FiscalDocumentMap::Entry> FiscalDocumentMap::byNsu(const QString& nsu) const
{
    LocalDatabase db(m_file, schema);
    // The most recent: a server may hand out a number again on another day.
    const QList<Entry> found =
        entries(db.exec(columns + QStringLiteral("WHERE nsu = :nsu ORDER BY id DESC LIMIT 1"),
                        {{QStringLiteral("nsu"), nsu}}));
    if (found.isEmpty())
        return std::nullopt;
    return found.first();
}

QList<FiscalDocumentMap::Entry> FiscalDocumentMap::open() const
{
    LocalDatabase db(m_file, schema);
    return entries(db.exec(columns + QStringLiteral("WHERE state IN ('started', 'approved') ORDER BY id")));
}

bool FiscalDocumentMap::abandoned(const Entry& entry)
{
    if (entry.state != State::Started)
        return false;
    if (entry.process == QCoreApplication::applicationPid())
        return true;
    return entry.process <= 0 || (::kill(pid_t(entry.process), 0) != 0 && errno == ESRCH);
}
