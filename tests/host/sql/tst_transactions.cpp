// Transaction bookkeeping of a connection: a refused COMMIT, the embedded store's
// write lock taken at BEGIN, and what a recording reports when its commit is refused.
#include "Clock.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "NativeProcedures.h"
#include "Packets.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Srv_kvb52814;

namespace {
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const double purchaseTime = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));

bool sqlite(TestStore& s)
{
    return s.engine() == QLatin1String("SQLITE");
}

// A child table whose foreign key is checked only at COMMIT.
void createDeferredGuard(TestStore& s, SqlConnection& writer)
{
    if (sqlite(s))
        writer.execDirect(QStringLiteral("PRAGMA foreign_keys=ON"));
    s.exec(QStringLiteral("CREATE TABLE GUARD_PARENT (ID INTEGER PRIMARY KEY)"));
    s.exec(QStringLiteral("CREATE TABLE GUARD_CHILD (ID INTEGER REFERENCES GUARD_PARENT (ID) "
                          "DEFERRABLE INITIALLY DEFERRED)"));
}

// Every statement line written leaves an orphan behind: the recording's COMMIT is refused.
void refuseCommitOfStatementLines(TestStore& s)
{
    if (sqlite(s)) {
        s.exec(QStringLiteral("CREATE TRIGGER GUARD_LINE AFTER INSERT ON EXTRATOCONS "
                              "BEGIN INSERT INTO GUARD_CHILD VALUES (42); END"));
    } else {
        s.exec(QStringLiteral("CREATE FUNCTION GUARD_LINE() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                              "INSERT INTO GUARD_CHILD VALUES (42); RETURN NEW; END $$"));
        s.exec(QStringLiteral("CREATE TRIGGER GUARD_LINE AFTER INSERT ON EXTRATOCONS "
                              "FOR EACH ROW EXECUTE FUNCTION GUARD_LINE()"));
    }
}

// The balance evolution fails its first `failures` runs (on PostgreSQL through a
// trigger whose count survives the rollback, on SQLite around the native body).
class EvolutionFault
{
public:
    EvolutionFault(TestStore& s, int failures) : m_store(s)
    {
        const QString name = QStringLiteral("ATUALIZA_SALDO_CONS_FKB");
        if (sqlite(s)) {
            m_original = *NativeProcedures::find(name);
            NativeProcedures::add(name, [this, failures](SqlConnection& c, const SqlParameters& p) {
                if (++m_sqliteTries <= failures)
                    throw SqlError(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"), QStringLiteral("balance refused"));
                m_original(c, p);
            });
        } else {
            s.exec(QStringLiteral("CREATE SEQUENCE EVOLUTION_TRIES"));
            s.exec(QStringLiteral("CREATE FUNCTION FAIL_EVOLUTION() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                  "IF nextval('EVOLUTION_TRIES') <= %1 THEN RAISE EXCEPTION 'balance refused'; END IF; "
                                  "RETURN NEW; END $$").arg(failures));
            s.exec(QStringLiteral("CREATE TRIGGER FAIL_EVOLUTION BEFORE INSERT OR UPDATE ON SALDOCONS "
                                  "FOR EACH ROW EXECUTE FUNCTION FAIL_EVOLUTION()"));
        }
    }
    ~EvolutionFault() { remove(); }
    int tries()
    {
        return sqlite(m_store) ? m_sqliteTries
                               : m_store.scalar(QStringLiteral("SELECT last_value FROM EVOLUTION_TRIES")).toInt();
    }
    void remove()
    {
        if (sqlite(m_store) && m_original)
            NativeProcedures::add(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"), std::exchange(m_original, {}));
        else if (!sqlite(m_store))
            m_store.exec(QStringLiteral("DROP TRIGGER IF EXISTS FAIL_EVOLUTION ON SALDOCONS"));
    }

private:
    TestStore& m_store;
    NativeProcedures::Body m_original;
    int m_sqliteTries = 0;
};

QVariant record(double amount)
{
    return setGravaCompCred(PacketVariant::of(Packets::movement({amount}, purchaseTime)), QStringLiteral("0001"),
                            QStringLiteral("001"), QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("001"),
                            QStringLiteral("2612081015"), QStringLiteral("000123"), QStringLiteral("000045"),
                            QStringLiteral("BE0912"), turn, DateTimeValue::fromDate(QDate(2026, 12, 8)));
}
} // namespace

class TestTransactions : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    void refusedCommitStaysOpenUntilRolledBack()
    {
        TestStore s;
        SqlConnection c(QStringLiteral("writer"));
        c.setConnectionString(s.connectionString());
        c.open();
        createDeferredGuard(s, c);

        c.beginTrans();
        c.execDirect(QStringLiteral("INSERT INTO GUARD_CHILD VALUES (7)"));
        try {
            c.commitTrans();
            QFAIL("a commit breaking a deferred foreign key was accepted");
        } catch (const SqlError& e) {
            QVERIFY2(e.message().contains(QLatin1String("foreign key"), Qt::CaseInsensitive), e.what());
        }
        QVERIFY(c.inTransaction());
        c.rollbackTrans();
        QVERIFY(!c.inTransaction());
        QCOMPARE(s.count(QStringLiteral("FROM GUARD_CHILD")), 0);

        // The connection is usable again: a new transaction begins and commits.
        c.beginTrans();
        c.execDirect(QStringLiteral("INSERT INTO GUARD_PARENT VALUES (7)"));
        c.execDirect(QStringLiteral("INSERT INTO GUARD_CHILD VALUES (7)"));
        c.commitTrans();
        QVERIFY(!c.inTransaction());
        QCOMPARE(s.count(QStringLiteral("FROM GUARD_CHILD")), 1);
    }

    void refusedCommitOfARecordingWritesNothing()
    {
        ModuleFixture f;
        f.seedBranch(1);
        createDeferredGuard(*f.store, *f.dm().adcRecSaldo);
        refuseCommitOfStatementLines(*f.store);

        const QVariant refused = record(10);
        QVERIFY(refused.isValid());
        QVERIFY2(refused.toString().contains(QLatin1String("foreign key"), Qt::CaseInsensitive),
                 qPrintable(refused.toString()));
        QVERIFY(!f.dm().adcRecSaldo->inTransaction());
        for (const char* table : {"MOVCAIXA", "EXTRATOCONS", "DOCNFISCECF"})
            QCOMPARE(f.store->count(QStringLiteral("FROM ") + QLatin1String(table)), 0);

        // The next recording starts a transaction of its own and goes through.
        f.store->exec(QStringLiteral("DROP TRIGGER GUARD_LINE") +
                      (sqlite(*f.store) ? QString() : QStringLiteral(" ON EXTRATOCONS")));
        const QVariant accepted = record(10);
        QVERIFY2(!accepted.isValid(), qPrintable(accepted.toString()));
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 1);
    }

    void evolutionFailingOnceAfterTheCommitIsRetried()
    {
        ModuleFixture f;
        f.seedBranch(1);
        EvolutionFault fault(*f.store, 1);
        const QVariant result = record(12.5);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        QCOMPARE(fault.tries(), 2);
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 12.5);
    }

    void evolutionFailingAfterTheCommitSaysTheCreditIsRecorded()
    {
        ModuleFixture f;
        f.seedBranch(1);
        EvolutionFault fault(*f.store, 1000);
        const QVariant result = record(12.5);
        QVERIFY(result.isValid());
        QVERIFY2(result.toString().startsWith(QStringLiteral(
                     "Crédito registrado; os saldos serão atualizados na próxima consulta. Causa: ")),
                 qPrintable(result.toString()));
        QVERIFY2(result.toString().contains(QLatin1String("balance refused")), qPrintable(result.toString()));
        QCOMPARE(fault.tries(), 2); // retried once, not more
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
        QCOMPARE(f.store->count(QStringLiteral("FROM SALDOCONS")), 0);

        // The next evolution brings the balance up to date from the committed line.
        fault.remove();
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"),
                    DateTimeValue::fromDate(QDate(2026, 8, 10)));
        QCOMPARE(f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS")).toDouble(), 12.5);
    }

    void embeddedStoreIsUnmappedAndWritersLockAtBegin()
    {
        TestStore s(QStringLiteral("SQLITE"));
        s.createSchema();
        SqlConnection c(QStringLiteral("writer"));
        c.setConnectionString(s.connectionString());
        c.open();
        // A mapped file turns a disk error into a crash instead of a failed call.
        {
            QSqlQuery mmap(QStringLiteral("PRAGMA mmap_size"), c.database());
            QVERIFY(mmap.next());
            QCOMPARE(mmap.value(0).toLongLong(), 0);
        }

        // A second writer that does not wait: it fails at once while the lock is held.
        QSqlDatabase other = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("other-writer"));
        other.setDatabaseName(QString(s.connectionString()).remove(QStringLiteral("Provider=SQLITE;Data Source=")));
        other.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=0"));
        QVERIFY(other.open());
        {
            const auto otherCanWrite = [&] {
                QSqlQuery q(other);
                if (!q.exec(QStringLiteral("BEGIN IMMEDIATE")))
                    return false;
                q.exec(QStringLiteral("ROLLBACK"));
                return true;
            };
            c.beginTrans(SqlConnection::TransactionMode::ReadOnly);
            QVERIFY2(otherCanWrite(), "a read-only transaction took the write lock");
            c.rollbackTrans();

            c.beginTrans(); // before any statement
            QVERIFY2(!otherCanWrite(), "a write transaction did not take the write lock when it began");
            c.rollbackTrans();
            QVERIFY(otherCanWrite());
        }
        other.close();
        other = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("other-writer"));
    }
};

QTEST_GUILESS_MAIN(TestTransactions)
#include "tst_transactions.moc"
