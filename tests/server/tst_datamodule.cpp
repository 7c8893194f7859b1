// The data module: transactions, connection events, statement texts and the
// choice of dialect text and balance procedure by database kind.
#include "ClientDataSet.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlStoredProc.h"
#include "TADOSqlStorage.h"

#include <QtTest>

class TestDataModule : public QObject
{
    Q_OBJECT
private slots:
    void transactionsJoinAndEndOnce()
    {
        ModuleFixture f;
        TrdmRecSaldo& dm = f.dm();
        dm.CommitTrans(); // none open: nothing, no failure
        dm.RollbackTrans();
        QVERIFY(!dm.adcRecSaldo->inTransaction());

        dm.StartTrans();
        dm.StartTrans(); // joins the open one
        QVERIFY(dm.adcRecSaldo->inTransaction());
        dm.adcRecSaldo->execDirect(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('K1', '1')"));
        dm.CommitTrans();
        QVERIFY(!dm.adcRecSaldo->inTransaction());
        dm.CommitTrans();
        QCOMPARE(f.store->count(QStringLiteral("FROM NOVOCODIGO WHERE CDCONTADOR = 'K1'")), 1);

        dm.StartTrans();
        dm.adcRecSaldo->execDirect(QStringLiteral("INSERT INTO NOVOCODIGO VALUES ('K2', '1')"));
        dm.RollbackTrans();
        QCOMPARE(f.store->count(QStringLiteral("FROM NOVOCODIGO WHERE CDCONTADOR = 'K2'")), 0);
    }

    void everyOpeningAsksForTheConnectionStringAgain()
    {
        ModuleFixture f;
        TrdmRecSaldo& dm = f.dm();
        const QString good = HostConfig::instance().connectionString();
        dm.adcRecSaldo->close();
        HostConfig::instance().setConnectionString(QStringLiteral("Provider=Nothing"));
        QVERIFY_THROWS_EXCEPTION(SqlError, dm.adcRecSaldo->open());
        HostConfig::instance().setConnectionString(good);
        dm.adcRecSaldo->open();
        QVERIFY(dm.adcRecSaldo->connected());
        dm.MtsDataModuleDeactivate(&dm);
        QVERIFY(!dm.adcRecSaldo->connected());
        dm.MtsDataModuleActivate(&dm);
        QVERIFY(dm.adcRecSaldo->connected());
    }

    void statementTextsAreKeptByteForByte()
    {
        const QString cupom = TrdmRecSaldo::statementText(QStringLiteral("acmInsCupomInicial.sql"));
        QCOMPARE(cupom, QStringLiteral("INSERT INTO  NOVOCODIGO \r\n   (CDCONTADOR, NRSEQUENCIAL) \r\nVALUES\r\n"
                                       "   (:P_CDCONTADOR, :P_NRSEQUENCIAL)"));
        for (const char* insert : {"acmInsDocNFisECF.sql", "acmCriaMovCaixa.sql", "acmInsEXTRATOCONS.sql"}) {
            const QString t = TrdmRecSaldo::statementText(QString::fromLatin1(insert));
            QCOMPARE(t.count(QStringLiteral("\r\n")), t.count(QLatin1Char('\n')));
            QVERIFY(!t.endsWith(QLatin1Char('\n')));
        }
        QVERIFY(TrdmRecSaldo::statementText(QStringLiteral("acmInsEXTRATOCONS.sql")).startsWith(QStringLiteral("insert into EXTRATOCONS\r\n")));
        const QString busca = TrdmRecSaldo::statementText(QStringLiteral("adqBuscaPorta.sql"));
        QVERIFY(busca.startsWith(QStringLiteral("SELECT \n   CDPORTAIMPNF \nFROM \n")));
        QVERIFY(!busca.contains(QLatin1Char('\r')));
    }

    void dialectTextFollowsTheDatabaseKind()
    {
        ModuleFixture f;
        TrdmRecSaldo& dm = f.dm();
        const QString oracle = dm.assSALDOCONS->textFor(QStringLiteral("ORACLE"));
        const QString mssql = dm.assSALDOCONS->textFor(QStringLiteral("MSSQL"));
        QVERIFY(oracle.contains(QStringLiteral("(SA.CDCLIENTE (+)= :P_CDCLIENTE)")));
        QVERIFY(mssql.contains(QStringLiteral("FAMSALDOFILI FF LEFT JOIN SALDOCONS SA")));
        QCOMPARE(dm.adqSALDOCONS->sql(), oracle); // the design-time text
        QCOMPARE(dm.adqSALDOCONS->effectiveSql(), dm.assSALDOCONS->textFor(dm.adcRecSaldo->kind()));
        QVERIFY(dm.adqSALDOCONS->effectiveSql().contains(QStringLiteral("LEFT JOIN")));
    }

    void balanceProcedureChoice_data()
    {
        QTest::addColumn<QString>("answer");
        QTest::addColumn<QString>("component");
        QTest::addColumn<QString>("firstParam");
        QTest::newRow("ORACLE") << "ORACLE" << "ads_Atualiza_Saldo_Cons_Fkb_ORACLE" << "P_CDCLIENTE";
        QTest::newRow("oracle lower case") << "oracle" << "ads_Atualiza_Saldo_Cons_Fkb_MSSQL" << "@RETURN_VALUE";
        QTest::newRow("empty") << "" << "ads_Atualiza_Saldo_Cons_Fkb_MSSQL" << "@RETURN_VALUE";
        QTest::newRow("MSSQL") << "MSSQL" << "ads_Atualiza_Saldo_Cons_Fkb_MSSQL" << "@RETURN_VALUE";
        QTest::newRow("POSTGRESQL") << "POSTGRESQL" << "ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL" << "P_CDCLIENTE";
        QTest::newRow("SQLITE") << "SQLITE" << "ads_Atualiza_Saldo_Cons_Fkb_SQLITE" << "P_CDCLIENTE";
    }
    void balanceProcedureChoice()
    {
        QFETCH(QString, answer);
        QFETCH(QString, component);
        QFETCH(QString, firstParam);
        ModuleFixture f;
        SqlStoredProc* p = f.dm().atualizaSaldoProc(answer);
        QCOMPARE(p->objectName(), component);
        QCOMPARE(p->procedureName(), QStringLiteral("ATUALIZA_SALDO_CONS_FKB"));
        QCOMPARE(p->parameters().list().first().name, firstParam);
    }

    void procedureCallTexts()
    {
        ModuleFixture f;
        QCOMPARE(f.dm().ads_Atualiza_Saldo_Cons_Fkb_MSSQL->callText(QStringLiteral("MSSQL")),
                 QStringLiteral("{:RETURN_VALUE = CALL ATUALIZA_SALDO_CONS_FKB(:P_CDCLIENTE, :P_CDCONSUMIDOR, "
                                ":P_CDFAMILISALD, :P_DTINIEVOLUCAO)}"));
        QCOMPARE(f.dm().ads_Atualiza_Saldo_Cons_Fkb_ORACLE->callText(QStringLiteral("ORACLE")),
                 QStringLiteral("BEGIN ATUALIZA_SALDO_CONS_FKB(:P_CDCLIENTE, :P_CDCONSUMIDOR, :P_CDFAMILISALD, "
                                ":P_DTINIEVOLUCAO); END;"));
        QCOMPARE(f.dm().ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL->callText(QStringLiteral("POSTGRESQL")),
                 QStringLiteral("SELECT ATUALIZA_SALDO_CONS_FKB(:P_CDCLIENTE, :P_CDCONSUMIDOR, :P_CDFAMILISALD, "
                                ":P_DTINIEVOLUCAO)"));
    }

    void movementPacketIndexes()
    {
        ModuleFixture f;
        ClientDataSet& mov = *f.dm().cdsMovCaixa;
        QCOMPARE(mov.indexName(), QStringLiteral("idxNRORDTROCO"));
        QVERIFY(mov.fieldDefs().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestDataModule)
#include "tst_datamodule.moc"
