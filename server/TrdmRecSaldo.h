#pragma once

#include "ModuleExport.h"

#include <QObject>

class ClientDataSet;
class DataSetProvider;
class SqlCommand;
class SqlConnection;
class SqlQuery;
class SqlStoredProc;
class TADOSqlStorage;
struct StatementFile;

// The server half's state: the one connection and every statement, provider and
// working data set the server functions use. Statement texts come from the
// module's resources; parameters are declared here as the store expects them.
class KVB_EXPORT TrdmRecSaldo : public QObject
{
    Q_OBJECT
public:
    explicit TrdmRecSaldo(QObject* owner = nullptr);
    ~TrdmRecSaldo() override;

    SqlConnection* adcRecSaldo;
    SqlQuery* adqSALDOCONS;
    DataSetProvider* dspSALDOCONS;
    TADOSqlStorage* assSALDOCONS;
    SqlQuery* adqCupomInicial;
    SqlCommand* acmInsCupomInicial;
    ClientDataSet* cdsMovCaixa;
    SqlQuery* adqParaVend;
    SqlQuery* adqOperAber;
    SqlCommand* acmInsDocNFisECF;
    SqlCommand* acmCriaMovCaixa;
    SqlCommand* acmInsEXTRATOCONS;
    SqlQuery* adqMinDtMovExtCons;
    SqlQuery* adqFamiliaSaldo;
    SqlQuery* adqConsumidor;    // the consumer a recording credits, as the store knows it
    SqlQuery* adqFamiliaFilial; // one family the branch offers
    SqlStoredProc* ads_Atualiza_Saldo_Cons_Fkb_ORACLE;
    SqlStoredProc* ads_Atualiza_Saldo_Cons_Fkb_MSSQL;
    SqlStoredProc* ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL;
    SqlStoredProc* ads_Atualiza_Saldo_Cons_Fkb_SQLITE;
    SqlQuery* adqTotSalCons;
    DataSetProvider* dspTotSalCons;
    SqlQuery* adqBuscaPorta;
    DataSetProvider* dspBuscaPorta;
    SqlQuery* adqMovCaixaNsu;
    DataSetProvider* dspMovCaixaNsu;
    SqlQuery* adqCompCredNsu;
    DataSetProvider* dspCompCredNsu;
    SqlQuery* adqMaiorCupom;
    DataSetProvider* dspMaiorCupom;
    SqlQuery* adqSaldoDesatualizado;
    DataSetProvider* dspSaldoDesatualizado;
    SqlQuery* adqSaldosDesatualizados;
    DataSetProvider* dspSaldosDesatualizados;

    void adcRecSaldoBeforeConnect(SqlConnection& sender);
    void adcRecSaldoAfterConnect(SqlConnection& sender);
    void MtsDataModuleActivate(QObject* sender);
    void MtsDataModuleDeactivate(QObject* sender);

    void StartTrans();    // begins a transaction unless one is open
    void CommitTrans();   // commits the open transaction; nothing when none is open
    void RollbackTrans(); // rolls back the open transaction; nothing when none is open

    // The balance procedure component for an answer of _UsedDatabase: "ORACLE",
    // "POSTGRESQL" and "SQLITE" their own, anything else the SQL Server one.
    SqlStoredProc* atualizaSaldoProc(const QString& usedDatabase) const;

    // A statement file of the module's resources (":/sql/<name>"): its declarations and exact text.
    static StatementFile statementFile(const QString& resourceName);
    static QString statementText(const QString& resourceName);
};
