#include "TrdmRecSaldo.h"

#include "ClientDataSet.h"
#include "DataSetProvider.h"
#include "Geralzel.h"
#include "Zel_vandril.h"
#include "KioskError.h"
#include "SqlCommand.h"
#include "SqlConnection.h"
#include "SqlQuery.h"
#include "SqlStoredProc.h"
#include "ServerModule.h"
#include "SqliteBalanceProcedure.h"
#include "TADOSqlStorage.h"

#include <QFile>

namespace {
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

void declareText(SqlStatement* s, std::initializer_list<const char*> names, int size = 16)
{
    for (const char* n : names)
        s->parameters().declare(QString::fromLatin1(n), ParamType::String, size);
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

QString TrdmRecSaldo::statementText(const QString& resourceName)
{
    QFile f(QStringLiteral(":/sql/") + resourceName);
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("statement text %1 is missing from the module").arg(resourceName));
    return QString::fromUtf8(f.readAll());
}

TrdmRecSaldo::TrdmRecSaldo(QObject* owner) : QObject(owner)
{
    setObjectName(QStringLiteral("rdmRecSaldo"));
    SqliteBalanceProcedure::install();
    ServerModule::initResources();

    adcRecSaldo = new SqlConnection(QStringLiteral("adcRecSaldo"), this);
    adcRecSaldo->beforeConnect = [this](SqlConnection& c) { adcRecSaldoBeforeConnect(c); };
    adcRecSaldo->afterConnect = [this](SqlConnection& c) { adcRecSaldoAfterConnect(c); };

    adqSALDOCONS = new SqlQuery(QStringLiteral("adqSALDOCONS"), adcRecSaldo, this);
    const QString saldoConsOracle = statementText(QStringLiteral("adqSALDOCONS.oracle.sql"));
    adqSALDOCONS->setSql(saldoConsOracle); // the design-time text
    declareText(adqSALDOCONS, {"P_CDFILIAL", "P_CDCLIENTE", "P_CDCONSUMIDOR"});
    adqSALDOCONS->setFieldDefs({text("NRBUTTON", 3), text("CDFAMILISALD", 3), text("NMFAMILISALD", 30),
                                number("VRSALDCONFAM")});
    dspSALDOCONS = new DataSetProvider(QStringLiteral("dspSALDOCONS"), adqSALDOCONS, this);
    assSALDOCONS = new TADOSqlStorage(QStringLiteral("assSALDOCONS"), adqSALDOCONS, this);
    assSALDOCONS->setText(QStringLiteral("SQLORACLE"), saldoConsOracle);
    assSALDOCONS->setText(QStringLiteral("SQLMSSQL"), statementText(QStringLiteral("adqSALDOCONS.mssql.sql")));
    assSALDOCONS->setText(QStringLiteral("SQLPOSTGRESQL"),
                          statementText(QStringLiteral("adqSALDOCONS.postgresql.sql")));
    assSALDOCONS->setText(QStringLiteral("SQLSQLITE"), statementText(QStringLiteral("adqSALDOCONS.sqlite.sql")));

    adqCupomInicial = new SqlQuery(QStringLiteral("adqCupomInicial"), adcRecSaldo, this);
    adqCupomInicial->setSql(statementText(QStringLiteral("adqCupomInicial.sql")));
    declareText(adqCupomInicial, {"P_CDCONTADOR"});
    adqCupomInicial->setFieldDefs({text("NRSEQUENCIAL", 20)});

    acmInsCupomInicial = new SqlCommand(QStringLiteral("acmInsCupomInicial"), adcRecSaldo, this);
    acmInsCupomInicial->setSql(statementText(QStringLiteral("acmInsCupomInicial.sql")));
    declareText(acmInsCupomInicial, {"P_CDCONTADOR", "P_NRSEQUENCIAL"});

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
    adqParaVend->setSql(statementText(QStringLiteral("adqParaVend.sql")));
    declareText(adqParaVend, {"P_CDFILIAL"});

    adqOperAber = new SqlQuery(QStringLiteral("adqOperAber"), adcRecSaldo, this);
    adqOperAber->setSql(statementText(QStringLiteral("adqOperAber.sql")));
    declareText(adqOperAber, {"P_CDFILIAL", "P_CDCAIXA"});
    adqOperAber->parameters().declare(QStringLiteral("P_DTABERCAIX"), ParamType::DateTime);

    acmInsDocNFisECF = new SqlCommand(QStringLiteral("acmInsDocNFisECF"), adcRecSaldo, this);
    acmInsDocNFisECF->setSql(statementText(QStringLiteral("acmInsDocNFisECF.sql")));
    declareText(acmInsDocNFisECF, {"NRSERIEEFCDOCNF", "NRSEQECFDOCNF", "NRCOODOCNFIS", "NRGNFDOCNFIS", "NRGRGDOCNFIS",
                                   "NRCDCDOCNFIS", "IDTPDENOMDOCNF"});
    acmInsDocNFisECF->parameters().declare(QStringLiteral("DTHRFINEMISEFC"), ParamType::Float);
    acmInsDocNFisECF->parameters().declare(QStringLiteral("DTMOVIDOCNFIS"), ParamType::Float);

    acmCriaMovCaixa = new SqlCommand(QStringLiteral("acmCriaMovCaixa"), adcRecSaldo, this);
    acmCriaMovCaixa->setSql(statementText(QStringLiteral("acmCriaMovCaixa.sql")));
    declareText(acmCriaMovCaixa, {"CDFILIAL", "CDCAIXA", "DTABERCAIX", "NRSEQUMOVI", "IDTIPOMOVIVE", "VRMOVIVEND",
                                  "CDTIPORECE", "DTHRINCMOV", "NRCARTBANCO", "CDNSUHOSTTEF", "NRSERCAIXADOCNF",
                                  "NRSEQCAIXADOCNF"});
    acmCriaMovCaixa->parameters().declare(QStringLiteral("DSMOVIVEND"), ParamType::String, 250, true);
    for (const char* n : {"NRSEQVENDA", "DTMOVIMCAIXA", "CDAGECHEQVEN", "CDBANCHEQVEN", "CDCNTCHEQVEN", "DTDEPCHEQVEN",
                          "NRCHEQUEVEND"})
        acmCriaMovCaixa->parameters().declare(QString::fromLatin1(n), ParamType::String, 16, true);
    acmCriaMovCaixa->parameters().declare(QStringLiteral("CDCLIENTE"), ParamType::String, 21, true);
    acmCriaMovCaixa->parameters().declare(QStringLiteral("VRMOVIVEOUT"), ParamType::Float, 16);
    acmCriaMovCaixa->parameters().declare(QStringLiteral("VRCOTINDOUT"), ParamType::Float, 16);

    acmInsEXTRATOCONS = new SqlCommand(QStringLiteral("acmInsEXTRATOCONS"), adcRecSaldo, this);
    acmInsEXTRATOCONS->setSql(statementText(QStringLiteral("acmInsEXTRATOCONS.sql")));
    declareText(acmInsEXTRATOCONS, {"CDCLIENTE", "CDCONSUMIDOR", "CDFAMILISALD", "NRSEQMOVEXT", "CDTIPORECE",
                                    "IDTPMOVEXT", "DSOPEEXTCONS", "CDFILIAL", "CDCAIXA", "NRSEQVENDA", "NRDEPOSICONS",
                                    "NRSEQMOVCAIXA"});
    for (const char* n : {"DTMOVEXTCONS", "DTABERCAIX"})
        acmInsEXTRATOCONS->parameters().declare(QString::fromLatin1(n), ParamType::DateTime, 16);
    for (const char* n : {"VRMOVEXTCONS", "VRSALDCONEXT"})
        acmInsEXTRATOCONS->parameters().declare(QString::fromLatin1(n), ParamType::Float, 16);

    adqMinDtMovExtCons = new SqlQuery(QStringLiteral("adqMinDtMovExtCons"), adcRecSaldo, this);
    adqMinDtMovExtCons->setSql(statementText(QStringLiteral("adqMinDtMovExtCons.sql")));
    declareText(adqMinDtMovExtCons, {"P_CDCLIENTE", "P_CDCONSUMIDOR"});

    adqFamiliaSaldo = new SqlQuery(QStringLiteral("adqFamiliaSaldo"), adcRecSaldo, this);
    adqFamiliaSaldo->setSql(statementText(QStringLiteral("adqFamiliaSaldo.sql")));
    declareText(adqFamiliaSaldo, {"P_CDFILIAL"});

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
    adqTotSalCons->setSql(statementText(QStringLiteral("adqTotSalCons.sql")));
    declareText(adqTotSalCons, {"CDCLIENTE", "CDCONSUMIDOR"});
    adqTotSalCons->setFieldDefs({number("VRSALDCONFAM", true)});
    dspTotSalCons = new DataSetProvider(QStringLiteral("dspTotSalCons"), adqTotSalCons, this);

    adqBuscaPorta = new SqlQuery(QStringLiteral("adqBuscaPorta"), adcRecSaldo, this);
    adqBuscaPorta->setSql(statementText(QStringLiteral("adqBuscaPorta.sql")));
    declareText(adqBuscaPorta, {"P_CDFILIAL", "P_CDCAIXA"});
    dspBuscaPorta = new DataSetProvider(QStringLiteral("dspBuscaPorta"), adqBuscaPorta, this);
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
