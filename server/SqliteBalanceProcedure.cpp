#include "SqliteBalanceProcedure.h"

#include "KioskError.h"
#include "Logging.h"
#include "Money.h"
#include "NativeProcedures.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "SqlQuery.h"

namespace {
QVariant param(const SqlParameters& params, const char* name)
{
    const QString n = QString::fromLatin1(name);
    const SqlParameter* p = params.find(n);
    if (!p)
        p = params.find(QLatin1Char('@') + n); // the SQL Server signature's names
    if (!p)
        throw SqlError(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"), QStringLiteral("parameter %1 missing").arg(n));
    return p->value;
}

// A stored amount as the driver gives it (a binary number); null reads 0.
Money money(const QVariant& v, const QString& column)
{
    return Money::fromUnits(v.toDouble(), QStringLiteral("ATUALIZA_SALDO_CONS_FKB: ") + column);
}

// A balance the evolution reached: refused before it is written when its column cannot hold it.
double storable(Money balance)
{
    if (!balance.fitsStore())
        throw KioskError(QStringLiteral("ATUALIZA_SALDO_CONS_FKB: the balance %1 is beyond what the store holds")
                             .arg(balance.text()));
    return balance.units();
}

// The body's statements, prepared once per connection: a child of the connection,
// so they go when it goes and re-prepare when it reopens.
struct Statements : QObject
{
    explicit Statements(SqlConnection* c)
        : QObject(c), before(QStringLiteral("ATUALIZA_SALDO_CONS_FKB.before"), c, this),
          lines(QStringLiteral("ATUALIZA_SALDO_CONS_FKB.lines"), c, this),
          update(QStringLiteral("ATUALIZA_SALDO_CONS_FKB.update"), c, this),
          current(QStringLiteral("ATUALIZA_SALDO_CONS_FKB.current"), c, this),
          store(QStringLiteral("ATUALIZA_SALDO_CONS_FKB.balance"), c, this)
    {
        setObjectName(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"));
        before.setSql(QStringLiteral(
            "SELECT VRSALDCONEXT FROM EXTRATOCONS\n"
            " WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR AND CDFAMILISALD = :P_CDFAMILISALD\n"
            "   AND DTMOVEXTCONS < :P_DTINIEVOLUCAO\n"
            " ORDER BY DTMOVEXTCONS DESC, NRSEQMOVEXT DESC LIMIT 1"));
        lines.setSql(QStringLiteral(
            "SELECT DTMOVEXTCONS, NRSEQMOVEXT, IDTPMOVEXT, VRMOVEXTCONS, VRSALDCONEXT FROM EXTRATOCONS\n"
            " WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR AND CDFAMILISALD = :P_CDFAMILISALD\n"
            "   AND DTMOVEXTCONS >= :P_DTINIEVOLUCAO\n"
            " ORDER BY DTMOVEXTCONS, NRSEQMOVEXT"));
        update.setSql(QStringLiteral(
            "UPDATE EXTRATOCONS SET VRSALDCONEXT = :P_VRSALDO\n"
            " WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR AND CDFAMILISALD = :P_CDFAMILISALD\n"
            "   AND DTMOVEXTCONS = :P_DTMOVEXTCONS AND NRSEQMOVEXT = :P_NRSEQMOVEXT"));
        current.setSql(QStringLiteral(
            "SELECT VRSALDCONFAM FROM SALDOCONS\n"
            " WHERE CDCLIENTE = :P_CDCLIENTE AND CDCONSUMIDOR = :P_CDCONSUMIDOR AND CDFAMILISALD = :P_CDFAMILISALD"));
        store.setSql(QStringLiteral(
            "INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM)\n"
            "VALUES (:P_CDCLIENTE, :P_CDCONSUMIDOR, :P_CDFAMILISALD, :P_VRSALDO)\n"
            "ON CONFLICT (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD) DO UPDATE SET VRSALDCONFAM = excluded.VRSALDCONFAM"));
    }

    static Statements& of(SqlConnection& c)
    {
        auto* s = c.findChild<Statements*>(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"), Qt::FindDirectChildrenOnly);
        return s ? *s : *new Statements(&c);
    }

    SqlQuery before;
    SqlQuery lines;
    SqlCommand update;
    SqlQuery current;
    SqlCommand store;
};

// One family's running balances and balance row. With `mayWrite` false it only
// reads, and answers false as soon as something would have to be written.
bool evolveFamily(Statements& st, double start, bool mayWrite)
{
    SqlQuery& before = st.before;
    SqlQuery& lines = st.lines;
    SqlCommand& update = st.update;
    SqlQuery& current = st.current;
    SqlCommand& store = st.store;
    before.close();
    lines.close();
    current.close();
    before.paramByName(QStringLiteral("P_DTINIEVOLUCAO")).setAsDateTime(start);
    lines.paramByName(QStringLiteral("P_DTINIEVOLUCAO")).setAsDateTime(start);

    int seen = 0;
    Money balance;
    before.open();
    if (!before.eof()) {
        balance = money(before.fieldByName(QStringLiteral("VRSALDCONEXT")).value(), QStringLiteral("VRSALDCONEXT"));
        ++seen;
    }
    lines.open();
    for (lines.first(); !lines.eof(); lines.next()) {
        ++seen;
        const QString kind = lines.fieldByName(QStringLiteral("IDTPMOVEXT")).asString();
        const Money amount =
            money(lines.fieldByName(QStringLiteral("VRMOVEXTCONS")).value(), QStringLiteral("VRMOVEXTCONS"));
        if (kind == QLatin1String("C"))
            balance += amount;
        else if (kind == QLatin1String("D"))
            balance -= amount;
        const QVariant stored = lines.fieldByName(QStringLiteral("VRSALDCONEXT")).value();
        if (!stored.isValid() || money(stored, QStringLiteral("VRSALDCONEXT")) != balance) {
            if (!mayWrite)
                return false;
            update.paramByName(QStringLiteral("P_VRSALDO")).setAsFloat(storable(balance));
            // The stored text of the date is the key: bind it back exactly as read.
            update.paramByName(QStringLiteral("P_DTMOVEXTCONS"))
                .setAsString(lines.fieldByName(QStringLiteral("DTMOVEXTCONS")).value().toString());
            update.paramByName(QStringLiteral("P_NRSEQMOVEXT"))
                .setAsString(lines.fieldByName(QStringLiteral("NRSEQMOVEXT")).asString());
            update.execute();
        }
    }
    // An unchanged balance is not written.
    current.open();
    const bool unchanged =
        !current.eof() &&
        money(current.fieldByName(QStringLiteral("VRSALDCONFAM")).value(), QStringLiteral("VRSALDCONFAM")) == balance &&
        !current.fieldByName(QStringLiteral("VRSALDCONFAM")).isNull();
    if (seen > 0 && !unchanged) {
        if (!mayWrite)
            return false;
        store.paramByName(QStringLiteral("P_VRSALDO")).setAsFloat(storable(balance));
        store.execute();
    }
    return true;
}

// Runs `body` in a transaction of its own; a failing rollback is logged and the
// body's own failure travels.
template<typename Body>
bool inOwnTransaction(SqlConnection& c, SqlConnection::TransactionMode mode, Body body)
{
    c.beginTrans(mode);
    bool done = false;
    try {
        done = body();
    } catch (...) {
        if (c.inTransaction()) {
            try {
                c.rollbackTrans();
            } catch (const KioskError& e) {
                qCWarning(lcSql).noquote() << "ATUALIZA_SALDO_CONS_FKB: rollback failed too:" << e.message();
            }
        }
        throw;
    }
    if (done)
        c.commitTrans();
    else
        c.rollbackTrans(); // only read: ends the snapshot
    return done;
}

void evolve(SqlConnection& c, const SqlParameters& params)
{
    const QString client = param(params, "P_CDCLIENTE").toString();
    const QString consumer = param(params, "P_CDCONSUMIDOR").toString();
    const QString family = param(params, "P_CDFAMILISALD").toString();
    const double start = param(params, "P_DTINIEVOLUCAO").toDouble();

    Statements& st = Statements::of(c);
    for (SqlStatement* s :
         std::initializer_list<SqlStatement*>{&st.before, &st.lines, &st.update, &st.current, &st.store}) {
        s->paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(client);
        s->paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(consumer);
        s->paramByName(QStringLiteral("P_CDFAMILISALD")).setAsString(family);
    }

    // Like a procedure call, the body is atomic: inside the caller's transaction if it has one.
    if (c.inTransaction()) {
        evolveFamily(st, start, true);
        return;
    }
    // Most evolutions change nothing (the screen evolves at every show), so the first
    // pass only reads and takes no write lock. One that must write starts again under
    // the write lock: upgrading a read snapshot to a writer would fail at once when
    // another kiosk wrote in between, instead of waiting its turn.
    using Mode = SqlConnection::TransactionMode;
    if (inOwnTransaction(c, Mode::ReadOnly, [&] { return evolveFamily(st, start, false); }))
        return;
    inOwnTransaction(c, Mode::Write, [&] { return evolveFamily(st, start, true); });
}
} // namespace

namespace SqliteBalanceProcedure {
void install()
{
    static const bool done = [] {
        NativeProcedures::add(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"), evolve);
        return true;
    }();
    (void)done;
}
} // namespace SqliteBalanceProcedure
