// Every statement of the data module against the engine under test: its
// placeholders and its declarations agree, the engine accepts its text, and a run
// of every server function binds only declared names and every declared input.
#include "Clock.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "SqlQuery.h"
#include "SqlStoredProc.h"
#include "StatementFile.h"
#include "TADOSqlStorage.h"

#include <QSqlError>
#include <QSqlQuery>
#include <QtTest>

using namespace Srv_kvb52814;

namespace
{
// The texts a statement may run on the engine of its connection.
QStringList textsOf(SqlStatement* s, const QString& kind)
{
    QStringList texts{s->sql()};
    if (auto* q = qobject_cast<SqlQuery*>(s); q && q->dialectStore()) {
        const QString dialect = q->dialectStore()->textFor(kind);
        if (!dialect.isEmpty() && dialect != s->sql())
            texts << dialect;
    }
    return texts;
}

QList<SqlStatement*> textStatements(TrdmRecSaldo& dm)
{
    QList<SqlStatement*> out;
    for (SqlStatement* s : dm.findChildren<SqlStatement*>(QString(), Qt::FindDirectChildrenOnly))
        if (!qobject_cast<SqlStoredProc*>(s))
            out << s;
    return out;
}
} // namespace

class TestStatements : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16))};

private slots:
    void init() { Clock::setInstance(&m_clock); }
    void cleanup() { Clock::setInstance(nullptr); }

    void declarationsAgreeWithTextsAndTheEngineAcceptsThem()
    {
        ModuleFixture f;
        const QString kind = f.dm().adcRecSaldo->kind();
        const QList<SqlStatement*> statements = textStatements(f.dm());
        QCOMPARE(statements.size(), 19);
        for (SqlStatement* s : statements) {
            QVERIFY2(s->declaredOnly(), qPrintable(s->objectName()));
            for (const QString& text : textsOf(s, kind)) {
                const QStringList problems = StatementFile::disagreements(text, s->parameters());
                QVERIFY2(problems.isEmpty(),
                         qPrintable(s->objectName() + QStringLiteral(": ") + problems.join(QStringLiteral("; "))));
            }
            // The text the engine really runs (the design-time Oracle text only runs on Oracle).
            auto* query = qobject_cast<SqlQuery*>(s);
            const QString runs = query ? query->effectiveSql() : s->sql();
            QSqlQuery q(f.dm().adcRecSaldo->database());
            QVERIFY2(q.prepare(runs), qPrintable(s->objectName() + QStringLiteral(": ") + q.lastError().text()));
        }
    }

    // The host's consumer look-up is kept and checked beside the module's statements.
    void theConsumerLookupAgreesWithItsDeclarations()
    {
        ModuleFixture f;
        const StatementFile lookup =
            StatementFile::load(QStringLiteral(KIOSK_SOURCE_DIR "/resources/sql/adqConsumidorCodigo.sql"));
        const QStringList problems = StatementFile::disagreements(lookup.text, lookup.parameters);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("; "))));
        SqlQuery q(QStringLiteral("consumer"), f.dm().adcRecSaldo);
        q.setStatement(lookup);
        q.paramByName(QStringLiteral("P_CDCLIENTE")).setAsString(QStringLiteral("C1"));
        q.paramByName(QStringLiteral("P_CDCONSUMIDOR")).setAsString(QStringLiteral("K1"));
        q.open();
        QVERIFY(q.eof());

        // The demo kiosk's list of consumers.
        const StatementFile list =
            StatementFile::load(QStringLiteral(KIOSK_SOURCE_DIR "/resources/sql/adqConsumidores.sql"));
        QVERIFY(StatementFile::disagreements(list.text, list.parameters).isEmpty());
        SqlQuery all(QStringLiteral("consumers"), f.dm().adcRecSaldo);
        all.setStatement(list);
        all.open();
        QVERIFY(all.eof());
    }

    void everyServerFunctionBindsDeclaredNamesOnly()
    {
        ModuleFixture f;
        f.seedBranch(2);
        f.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '002', 5)"));
        const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
        const double day = DateTimeValue::fromDate(QDate(2026, 12, 8));
        const auto ok = [](const QVariant& r) { return !r.isValid() || r.metaType().id() != QMetaType::QString; };

        QVERIFY(ok(getSaldoCons(QStringLiteral("0001"), QStringLiteral("C1"), QStringLiteral("K1"))));
        QVERIFY(ok(getTotSalCons(QStringLiteral("C1"), QStringLiteral("K1"))));
        QVERIFY(ok(getBuscaPorta(QStringLiteral("0001"), QStringLiteral("001"))));
        QVERIFY(ok(getMovCaixaNsu(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("NSU1"))));
        QVERIFY(ok(getMaiorCupom(QStringLiteral("0001"), QStringLiteral("001"), QString())));
        QVERIFY(ok(setGravaCupomInicial(QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("123"), day)));
        const DataPacket movement = Packets::movement({10.0}, day);
        const QString nsu = movement.rows()[0][movement.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))].toString();
        const QVariant recorded = setGravaCompCred(
            PacketVariant::of(movement), QStringLiteral("0001"), QStringLiteral("001"), QStringLiteral("C1"),
            QStringLiteral("K1"), QStringLiteral("002"), QStringLiteral("2612081016"), QStringLiteral("000123"),
            QStringLiteral("000045"), QStringLiteral("BE0912"), turn, day);
        QVERIFY2(!recorded.isValid(), qPrintable(recorded.toString()));
        EvoluiSaldo(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("0001"), day - 120);
        QVERIFY(ok(getMovCaixaNsu(QStringLiteral("0001"), QStringLiteral("001"), nsu, day)));
        QVERIFY(ok(getCompCredNsu(QStringLiteral("0001"), QStringLiteral("001"), nsu)));
        QVERIFY(ok(getSaldoDesatualizado(QStringLiteral("C1"), QStringLiteral("K1"))) && ok(getSaldosDesatualizados()));
        m_clock.advanceMs(1000); // the reversal's statement line at a time of its own
        const QVariant reversed = setEstornaCompCred(QStringLiteral("0001"), QStringLiteral("001"), nsu, day);
        QVERIFY2(!reversed.isValid(), qPrintable(reversed.toString()));

        for (SqlStatement* s : textStatements(f.dm()))
            QVERIFY2(s->executions() > 0, qPrintable(s->objectName() + QStringLiteral(" never ran")));
    }

    void aStatementRefusesWhatItDoesNotDeclareOrWasNeverGiven()
    {
        ModuleFixture f;
        SqlQuery q(QStringLiteral("adqProbe"), f.dm().adcRecSaldo);
        q.setStatement(StatementFile::parse(
            QStringLiteral("probe.sql"),
            QStringLiteral("--: P_A text 16\nSELECT CDFILIAL FROM CAIXA WHERE CDFILIAL = :P_A AND CDCAIXA = :P_B")));
        QVERIFY_THROWS_EXCEPTION(SqlError, q.paramByName(QStringLiteral("P_B")));
        q.paramByName(QStringLiteral("P_A")).setAsString(QStringLiteral("0001"));
        try {
            q.open();
            QFAIL("an undeclared placeholder ran");
        } catch (const SqlError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("P_B")), qPrintable(e.message()));
        }

        const StatementFile extra = StatementFile::parse(
            QStringLiteral("extra.sql"), QStringLiteral("--: P_A text 16\n--: P_GONE float\nSELECT :P_A"));
        QCOMPARE(StatementFile::disagreements(extra.text, extra.parameters),
                 QStringList{QStringLiteral("declared parameter P_GONE is not in the text")});
        QVERIFY_THROWS_EXCEPTION(KioskError, StatementFile::parse(QStringLiteral("bad.sql"),
                                                                  QStringLiteral("--: P_A number 16\nSELECT :P_A")));

        SqlQuery unbound(QStringLiteral("adqUnbound"), f.dm().adcRecSaldo);
        unbound.setStatement(
            StatementFile::parse(QStringLiteral("unbound.sql"),
                                 QStringLiteral("--: P_A text 16\nSELECT CDFILIAL FROM CAIXA WHERE CDFILIAL = :P_A")));
        try {
            unbound.open();
            QFAIL("a statement ran with a parameter never bound");
        } catch (const SqlError& e) {
            QVERIFY2(e.message().contains(QStringLiteral("never bound")), qPrintable(e.message()));
        }
    }
};

QTEST_GUILESS_MAIN(TestStatements)
#include "tst_statements.moc"
