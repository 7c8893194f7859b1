#include "TrdmRecSaldo.h"

#include "ClientDataSet.h"
#include "DataSetProvider.h"
#include "Geralzel.h"
#include "KioskError.h"
#include "ServerModule.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlStoredProc.h"
#include "SqliteBalanceProcedure.h"
#include "StatementFile.h"
#include "TADOSqlStorage.h"
#include "Zel_vandril.h"

#include <QFile>

namespace
{
FieldDef text(const char* name, int size)
{
    return FieldDef::make(QString::fromLatin1(name), FieldType::String, size);
}

FieldDef number(const char* name, bool readOnly = false)
{
    FieldDef f = FieldDef::make(QString::fromLatin1(name), FieldType::Float);
    f.readOnly = readOnly;
    return f;
}

FieldDef dateTime(const char* name)
{
    return FieldDef::make(QString::fromLatin1(name), FieldType::DateTime);
}

void declareProcedure(SqlStoredProc* p, const QString& prefix, int textSize, int familySize)
{
    p->setProcedureName(QStringLiteral("ATUALIZA_SALDO_CONS_FKB"));
    if (prefix == QLatin1String("@"))
        p->declare(QStringLiteral("@RETURN_VALUE"), ParamType::Integer, 0, false, ParamDirection::ReturnValue);
    p->declare(prefix + QStringLiteral("P_CDCLIENTE"), ParamType::String, textSize);
    p->declare(prefix + QStringLiteral("P_CDCONSUMIDOR"), ParamType::String, textSize);
    p->declare(prefix + QStringLiteral("P_CDFAMILISALD"), ParamType::String, familySize);
    p->declare(prefix + QStringLiteral("P_DTINIEVOLUCAO"), ParamType::DateTime);
}
} // namespace

StatementFile TrdmRecSaldo::statementFile(const QString& resourceName)
{
    const QString path = QStringLiteral(":/sql/") + resourceName;
    if (!QFile::exists(path))
        throw KioskError(QStringLiteral("statement text %1 is missing from the module").arg(resourceName));
    return StatementFile::load(path);
}

QString TrdmRecSaldo::statementText(const QString& resourceName)
{
    return statementFile(resourceName).text;
}

namespace
{
// Gives a statement its text and the parameter declarations written beside it.
template <class Statement> Statement* declared(Statement* statement, const QString& resourceName)
{
    statement->setStatement(TrdmRecSaldo::statementFile(resourceName));
    return statement;
}
} // namespace

TrdmRecSaldo::TrdmRecSaldo(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("rdmRecSaldo"));
    SqliteBalanceProcedure::install();
    ServerModule::initResources();

    adcRecSaldo = new SqlConnection(QStringLiteral("adcRecSaldo"), this);
    adcRecSaldo->beforeConnect = [this](SqlConnection& c) { adcRecSaldoBeforeConnect(c); };
    adcRecSaldo->afterConnect = [this](SqlConnection& c) { adcRecSaldoAfterConnect(c); };

    adqSALDOCONS = new SqlQuery(QStringLiteral("adqSALDOCONS"), adcRecSaldo, this);
    declared(adqSALDOCONS, QStringLiteral("adqSALDOCONS.oracle.sql")); // the design-time text
    adqSALDOCONS->setFieldDefs(
        {text("NRBUTTON", 3), text("CDFAMILISALD", 3), text("NMFAMILISALD", 30), number("VRSALDCONFAM")});
    dspSALDOCONS = new DataSetProvider(QStringLiteral("dspSALDOCONS"), adqSALDOCONS, this);
    assSALDOCONS = new TADOSqlStorage(QStringLiteral("assSALDOCONS"), adqSALDOCONS, this);
    // The LEFT JOIN text serves every engine but Oracle; its declarations must be the query's.
    const StatementFile leftJoin = statementFile(QStringLiteral("adqSALDOCONS.leftjoin.sql"));
    if (const QStringList problems = StatementFile::disagreements(leftJoin.text, adqSALDOCONS->parameters());
        !problems.isEmpty())
        throw KioskError(QStringLiteral("adqSALDOCONS.leftjoin.sql: ") + problems.join(QStringLiteral("; ")));
    assSALDOCONS->setText(QStringLiteral("SQLORACLE"), adqSALDOCONS->sql());
    for (const char* engine : {"SQLMSSQL", "SQLPOSTGRESQL", "SQLSQLITE"})
        assSALDOCONS->setText(QString::fromLatin1(engine), leftJoin.text);

    adqCupomInicial = new SqlQuery(QStringLiteral("adqCupomInicial"), adcRecSaldo, this);
    declared(adqCupomInicial, QStringLiteral("adqCupomInicial.sql"));
    adqCupomInicial->setFieldDefs({text("NRSEQUENCIAL", 20)});

    acmInsCupomInicial = new SqlCommand(QStringLiteral("acmInsCupomInicial"), adcRecSaldo, this);
    declared(acmInsCupomInicial, QStringLiteral("acmInsCupomInicial.sql"));

    cdsMovCaixa = new ClientDataSet(QStringLiteral("cdsMovCaixa"), this);
    cdsMovCaixa->addIndex(QStringLiteral("idxNRORDTROCO"), QStringLiteral("NRORDTROCO;DTHRINCMOV"),
                          QStringLiteral("DTHRINCMOV"));
    cdsMovCaixa->addIndex(QStringLiteral("idxDTHRINCMOV"), QStringLiteral("DTHRINCMOV"));
    cdsMovCaixa->addIndex(QStringLiteral("idxVRMOVIVEND"), QStringLiteral("VRMOVIVEND"), QStringLiteral("VRMOVIVEND"));
    cdsMovCaixa->setIndexName(QStringLiteral("idxNRORDTROCO"));
    // The amounts and dates the recording reads are typed here, so a packet that carries them as
    // text is read in its own format (C locale, ISO) and never with the kiosk's locale.
    cdsMovCaixa->setFieldTypes({number("VRMOVIVEND"), number("VRMOVIVEOUT"), number("VRCOTINDOUT"),
                                FieldDef::make(QStringLiteral("DTHRINCMOV"), FieldType::DateTime),
                                FieldDef::make(QStringLiteral("DTMOVIMCAIXA"), FieldType::DateTime),
                                FieldDef::make(QStringLiteral("DTDEPCHEQVEN"), FieldType::DateTime)});

    adqParaVend = new SqlQuery(QStringLiteral("adqParaVend"), adcRecSaldo, this);
    declared(adqParaVend, QStringLiteral("adqParaVend.sql"));

    adqOperAber = new SqlQuery(QStringLiteral("adqOperAber"), adcRecSaldo, this);
    declared(adqOperAber, QStringLiteral("adqOperAber.sql"));

    acmInsDocNFisECF = new SqlCommand(QStringLiteral("acmInsDocNFisECF"), adcRecSaldo, this);
    declared(acmInsDocNFisECF, QStringLiteral("acmInsDocNFisECF.sql"));

    acmCriaMovCaixa = new SqlCommand(QStringLiteral("acmCriaMovCaixa"), adcRecSaldo, this);
    declared(acmCriaMovCaixa, QStringLiteral("acmCriaMovCaixa.sql"));

    acmInsEXTRATOCONS = new SqlCommand(QStringLiteral("acmInsEXTRATOCONS"), adcRecSaldo, this);
    declared(acmInsEXTRATOCONS, QStringLiteral("acmInsEXTRATOCONS.sql"));

    adqMinDtMovExtCons = new SqlQuery(QStringLiteral("adqMinDtMovExtCons"), adcRecSaldo, this);
    declared(adqMinDtMovExtCons, QStringLiteral("adqMinDtMovExtCons.sql"));

    adqFamiliaSaldo = new SqlQuery(QStringLiteral("adqFamiliaSaldo"), adcRecSaldo, this);
    declared(adqFamiliaSaldo, QStringLiteral("adqFamiliaSaldo.sql"));

    // What a recording checks before it writes: the consumer and the family it credits exist.
    adqConsumidor = new SqlQuery(QStringLiteral("adqConsumidor"), adcRecSaldo, this);
    declared(adqConsumidor, QStringLiteral("adqConsumidor.sql"));
    adqConsumidor->setFieldDefs({text("CDCONSUMIDOR", 21)});
    adqFamiliaFilial = new SqlQuery(QStringLiteral("adqFamiliaFilial"), adcRecSaldo, this);
    declared(adqFamiliaFilial, QStringLiteral("adqFamiliaFilial.sql"));
    adqFamiliaFilial->setFieldDefs({text("CDFAMILISALD", 3)});

    ads_Atualiza_Saldo_Cons_Fkb_ORACLE =
        new SqlStoredProc(QStringLiteral("ads_Atualiza_Saldo_Cons_Fkb_ORACLE"), adcRecSaldo, this);
    declareProcedure(ads_Atualiza_Saldo_Cons_Fkb_ORACLE, QString(), 4000, 4000);
    ads_Atualiza_Saldo_Cons_Fkb_MSSQL =
        new SqlStoredProc(QStringLiteral("ads_Atualiza_Saldo_Cons_Fkb_MSSQL"), adcRecSaldo, this);
    declareProcedure(ads_Atualiza_Saldo_Cons_Fkb_MSSQL, QStringLiteral("@"), 21, 16);
    ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL =
        new SqlStoredProc(QStringLiteral("ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL"), adcRecSaldo, this);
    declareProcedure(ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL, QString(), 21, 3);
    ads_Atualiza_Saldo_Cons_Fkb_SQLITE =
        new SqlStoredProc(QStringLiteral("ads_Atualiza_Saldo_Cons_Fkb_SQLITE"), adcRecSaldo, this);
    declareProcedure(ads_Atualiza_Saldo_Cons_Fkb_SQLITE, QString(), 21, 3);

    adqTotSalCons = new SqlQuery(QStringLiteral("adqTotSalCons"), adcRecSaldo, this);
    declared(adqTotSalCons, QStringLiteral("adqTotSalCons.sql"));
    adqTotSalCons->setFieldDefs({number("VRSALDCONFAM", true)});
    dspTotSalCons = new DataSetProvider(QStringLiteral("dspTotSalCons"), adqTotSalCons, this);

    adqBuscaPorta = new SqlQuery(QStringLiteral("adqBuscaPorta"), adcRecSaldo, this);
    declared(adqBuscaPorta, QStringLiteral("adqBuscaPorta.sql"));
    dspBuscaPorta = new DataSetProvider(QStringLiteral("dspBuscaPorta"), adqBuscaPorta, this);

    // The till's cash movement of a card transaction: how a paid purchase is known to be recorded.
    adqMovCaixaNsu = new SqlQuery(QStringLiteral("adqMovCaixaNsu"), adcRecSaldo, this);
    declared(adqMovCaixaNsu, QStringLiteral("adqMovCaixaNsu.sql"));
    adqMovCaixaNsu->setFieldDefs({text("NRSEQUMOVI", 10), text("IDTIPOMOVIVE", 1), dateTime("DTMOVIMCAIXA"),
                                  dateTime("DTHRINCMOV"), number("VRMOVIVEND")});
    dspMovCaixaNsu = new DataSetProvider(QStringLiteral("dspMovCaixaNsu"), adqMovCaixaNsu, this);

    // The credit a card transaction made, with its statement line and its reversal if any.
    adqCompCredNsu = new SqlQuery(QStringLiteral("adqCompCredNsu"), adcRecSaldo, this);
    declared(adqCompCredNsu, QStringLiteral("adqCompCredNsu.sql"));
    adqCompCredNsu->setFieldDefs({dateTime("DTMOVIMCAIXA"), dateTime("DTABERCAIX"), text("NRSEQUMOVI", 10),
                                  dateTime("DTHRINCMOV"), text("CDTIPORECE", 3), text("DSMOVIVEND", 250),
                                  number("VRMOVIVEND"), text("CDCLIENTEMOV", 21), text("NRCARTBANCO", 20),
                                  text("CDCLIENTE", 21), text("CDCONSUMIDOR", 21), text("CDFAMILISALD", 3),
                                  number("VRMOVEXTCONS"), text("NRDEPOSICONS", 20), text("NRSEQUMOVIESTORNO", 10)});
    dspCompCredNsu = new DataSetProvider(QStringLiteral("dspCompCredNsu"), adqCompCredNsu, this);

    // The highest coupon numbers of a till's printer: where its counters go on when their file is lost.
    adqMaiorCupom = new SqlQuery(QStringLiteral("adqMaiorCupom"), adcRecSaldo, this);
    declared(adqMaiorCupom, QStringLiteral("adqMaiorCupom.sql"));
    adqMaiorCupom->setFieldDefs({text("NRCOODOCNFIS", 10), text("NRGNFDOCNFIS", 10)});
    dspMaiorCupom = new DataSetProvider(QStringLiteral("dspMaiorCupom"), adqMaiorCupom, this);

    // Balances that disagree with the sum of their statement lines (lines recorded, balance
    // never evolved): one consumer's, and every one in the store.
    const QList<FieldDef> staleFields{text("CDCLIENTE", 21),   text("CDCONSUMIDOR", 21),   text("CDFAMILISALD", 3),
                                      number("VRSALDCONFAM"), number("VRSALDOEXTRATO"), dateTime("DTMOVEXTCONS")};
    adqSaldoDesatualizado = new SqlQuery(QStringLiteral("adqSaldoDesatualizado"), adcRecSaldo, this);
    declared(adqSaldoDesatualizado, QStringLiteral("adqSaldoDesatualizado.sql"));
    adqSaldoDesatualizado->setFieldDefs(staleFields);
    dspSaldoDesatualizado = new DataSetProvider(QStringLiteral("dspSaldoDesatualizado"), adqSaldoDesatualizado, this);
    adqSaldosDesatualizados = new SqlQuery(QStringLiteral("adqSaldosDesatualizados"), adcRecSaldo, this);
    declared(adqSaldosDesatualizados, QStringLiteral("adqSaldosDesatualizados.sql"));
    adqSaldosDesatualizados->setFieldDefs(staleFields);
    dspSaldosDesatualizados =
        new DataSetProvider(QStringLiteral("dspSaldosDesatualizados"), adqSaldosDesatualizados, this);
}

TrdmRecSaldo::~TrdmRecSaldo()
{
    adcRecSaldo->close();
}

void TrdmRecSaldo::adcRecSaldoBeforeConnect(SqlConnection& sender)
{
    sender.setConnectionString(Geralzel::_GetStringConexZel(QString()));
}

void TrdmRecSaldo::adcRecSaldoAfterConnect(SqlConnection& sender)
{
    Zel_vandril::SetADODBSession(sender);
}

void TrdmRecSaldo::MtsDataModuleActivate(QObject*)
{
    Zel_vandril::TryConnect(*adcRecSaldo);
}

void TrdmRecSaldo::MtsDataModuleDeactivate(QObject*)
{
    adcRecSaldo->close();
}

void TrdmRecSaldo::StartTrans()
{
    if (!adcRecSaldo->inTransaction())
        adcRecSaldo->beginTrans();
}

void TrdmRecSaldo::CommitTrans()
{
    if (adcRecSaldo->inTransaction())
        adcRecSaldo->commitTrans();
}

void TrdmRecSaldo::RollbackTrans()
{
    if (adcRecSaldo->inTransaction())
        adcRecSaldo->rollbackTrans();
}

SqlStoredProc* TrdmRecSaldo::atualizaSaldoProc(const QString& usedDatabase) const
{
    if (usedDatabase == QLatin1String("ORACLE"))
        return ads_Atualiza_Saldo_Cons_Fkb_ORACLE;
    if (usedDatabase == QLatin1String("POSTGRESQL"))
        return ads_Atualiza_Saldo_Cons_Fkb_POSTGRESQL;
    if (usedDatabase == QLatin1String("SQLITE"))
        return ads_Atualiza_Saldo_Cons_Fkb_SQLITE;
    return ads_Atualiza_Saldo_Cons_Fkb_MSSQL;
}
