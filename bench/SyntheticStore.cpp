#include "SyntheticStore.h"

#include "SqlCommand.h"
#include "SqlConnection.h"
#include "StoreSchema.h"

#include <QElapsedTimer>
#include <cstdio>

namespace
{
const char* const linesPostgres = R"(
INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, CDTIPORECE, IDTPMOVEXT,
                         DSOPEEXTCONS, VRMOVEXTCONS, VRSALDCONEXT, CDFILIAL, CDCAIXA)
SELECT '000000000000001', LPAD(CAST(c AS TEXT), 15, '0'), fam, dt, '001', '010', kind, 'Carga', amt,
       SUM(CASE kind WHEN 'C' THEN amt ELSE -amt END) OVER (PARTITION BY c, fam ORDER BY dt), '0001', '001'
  FROM (SELECT c, l, LPAD(CAST(((c + l) % :P_FAMILIES) + 1 AS TEXT), 3, '0') AS fam,
               CAST(CURRENT_DATE AS TIMESTAMP) - :P_DAYS * INTERVAL '1 day'
                 + (CAST(l AS BIGINT) * :P_DAYS * 86400 / :P_LINES + c % 3600) * INTERVAL '1 second' AS dt,
               CASE WHEN l % 4 = 3 THEN 'D' ELSE 'C' END AS kind,
               10 + (c * 7 + l * 13) % 50 AS amt
          FROM generate_series(CAST(:P_FROM AS INTEGER), CAST(:P_TO AS INTEGER)) c,
               generate_series(0, CAST(:P_LINES AS INTEGER) - 1) l) g)";

const char* const linesSqlite = R"(
WITH RECURSIVE cs(c) AS (SELECT :P_FROM UNION ALL SELECT c + 1 FROM cs WHERE c < :P_TO),
     ls(l) AS (SELECT 0 UNION ALL SELECT l + 1 FROM ls WHERE l < :P_LINES - 1),
     g AS (SELECT c, l, substr('000' || (((c + l) % :P_FAMILIES) + 1), -3, 3) AS fam,
                  strftime('%Y-%m-%d %H:%M:%S.000', 'now', 'localtime', 'start of day', '-' || :P_DAYS || ' days',
                           '+' || (l * :P_DAYS * 86400 / :P_LINES + c % 3600) || ' seconds') AS dt,
                  CASE WHEN l % 4 = 3 THEN 'D' ELSE 'C' END AS kind,
                  10 + (c * 7 + l * 13) % 50 AS amt
             FROM cs, ls)
INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, CDTIPORECE, IDTPMOVEXT,
                         DSOPEEXTCONS, VRMOVEXTCONS, VRSALDCONEXT, CDFILIAL, CDCAIXA)
SELECT '000000000000001', substr('000000000000000' || c, -15, 15), fam, dt, '001', '010', kind, 'Carga', amt,
       SUM(CASE kind WHEN 'C' THEN amt ELSE -amt END) OVER (PARTITION BY c, fam ORDER BY dt), '0001', '001'
  FROM g)";

const char* const balances = "INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM)\n"
                             "SELECT CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD,\n"
                             "       SUM(CASE IDTPMOVEXT WHEN 'C' THEN VRMOVEXTCONS ELSE -VRMOVEXTCONS END)\n"
                             "  FROM EXTRATOCONS GROUP BY CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD";

// Every consumer with a statement is one the store knows (a recording refuses any other).
const char* const consumers = "INSERT INTO CONSUMIDOR (CDCLIENTE, CDCONSUMIDOR, NMCONSUMIDOR)\n"
                              "SELECT DISTINCT CDCLIENTE, CDCONSUMIDOR, 'Consumidor ' || CDCONSUMIDOR FROM EXTRATOCONS";
} // namespace

namespace SyntheticStore
{
const char* const client = "000000000000001";

QString consumerCode(int n)
{
    return QStringLiteral("%1").arg(n, 15, 10, QLatin1Char('0'));
}

void generate(SqlConnection& c, const StoreSize& size)
{
    QElapsedTimer timer;
    timer.start();
    StoreSchema::create(c);
    c.beginTrans();
    SqlCommand family(QStringLiteral("family"), &c);
    family.setSql(QStringLiteral("INSERT INTO FAMILIASALDO VALUES (:P_CODE, :P_NAME)"));
    SqlCommand branchFamily(QStringLiteral("branchFamily"), &c);
    branchFamily.setSql(QStringLiteral("INSERT INTO FAMSALDOFILI VALUES ('0001', :P_CODE)"));
    for (int f = 1; f <= size.families; ++f) {
        const QString code = QStringLiteral("%1").arg(f, 3, 10, QLatin1Char('0'));
        family.paramByName(QStringLiteral("P_CODE")).setAsString(code);
        family.paramByName(QStringLiteral("P_NAME")).setAsString(QStringLiteral("Família %1").arg(f));
        family.execute();
        branchFamily.paramByName(QStringLiteral("P_CODE")).setAsString(code);
        branchFamily.execute();
    }
    c.execDirect(QStringLiteral("INSERT INTO PARAVEND (CDFILIAL, CDCLIENTE) VALUES ('0001', '000000000000001')"));
    for (int till = 1; till <= 64; ++till) {
        SqlCommand t(QStringLiteral("till"), &c);
        t.setSql(
            QStringLiteral("INSERT INTO CAIXA (CDFILIAL, CDCAIXA, CDPORTAIMPNF) VALUES ('0001', :P_CAIXA, 'COM1')"));
        t.paramByName(QStringLiteral("P_CAIXA")).setAsString(QStringLiteral("%1").arg(till, 3, 10, QLatin1Char('0')));
        t.execute();
    }
    c.commitTrans();

    const bool pg = c.kind() == QLatin1String("POSTGRESQL");
    SqlCommand lines(QStringLiteral("syntheticLines"), &c);
    lines.setSql(QString::fromLatin1(pg ? linesPostgres : linesSqlite));
    const int batch = qMax(1, 2000000 / qMax(1, size.linesPerConsumer)); // about two million lines a batch
    for (int from = 1; from <= size.consumers; from += batch) {
        const int to = qMin(size.consumers, from + batch - 1);
        c.beginTrans();
        lines.paramByName(QStringLiteral("P_FROM")).setAsInteger(from);
        lines.paramByName(QStringLiteral("P_TO")).setAsInteger(to);
        lines.paramByName(QStringLiteral("P_LINES")).setAsInteger(size.linesPerConsumer);
        lines.paramByName(QStringLiteral("P_FAMILIES")).setAsInteger(size.families);
        lines.paramByName(QStringLiteral("P_DAYS")).setAsInteger(size.days);
        lines.execute();
        c.commitTrans();
        std::fprintf(stderr, "  %s: %d/%d consumers (%.0f s)\n", qPrintable(c.kind()), to, size.consumers,
                     timer.elapsed() / 1000.0);
    }
    c.beginTrans();
    c.execDirect(QString::fromLatin1(balances));
    c.execDirect(QString::fromLatin1(consumers));
    c.commitTrans();
    c.execDirect(QStringLiteral("ANALYZE"));
    if (pg) {
        // Steady state of a store server that has run for a while: the tables and indexes are cached.
        c.execDirect(QStringLiteral("CREATE EXTENSION IF NOT EXISTS pg_prewarm"));
        c.execDirect(QStringLiteral("SELECT pg_prewarm('extratocons'), pg_prewarm('extratocons_pkey'),"
                                    " pg_prewarm('extratocons_cons_data'), pg_prewarm('saldocons'),"
                                    " pg_prewarm('saldocons_pkey')"));
    }
}
} // namespace SyntheticStore
