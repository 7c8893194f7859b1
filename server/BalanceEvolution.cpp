// EvoluiSaldo: re-computes a consumer's balances per family of a branch.
#include "ClientDataSet.h"
#include "Srv_registro.h"
#include "ServerModule.h"
#include "SqlQuery.h"
#include "SqlStoredProc.h"
#include "Srv_kvb52814.h"

namespace Srv_kvb52814 {

void EvoluiSaldo(const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFILIAL,
                 double DTINIEVOLUCAO)
{
    TrdmRecSaldo& dm = ServerModule::instance();
    dm.adqFamiliaSaldo->close();
    dm.adqFamiliaSaldo->paramByName(QStringLiteral("P_CDFILIAL")).setAsString(CDFILIAL);
    dm.adqFamiliaSaldo->open();

    SqlStoredProc* proc = dm.atualizaSaldoProc(Srv_registro::_UsedDatabase(QString()));
    const QString prefix = proc == dm.ads_Atualiza_Saldo_Cons_Fkb_MSSQL ? QStringLiteral("@") : QString();

    for (dm.adqFamiliaSaldo->first(); !dm.adqFamiliaSaldo->eof(); dm.adqFamiliaSaldo->next()) {
        proc->paramByName(prefix + QStringLiteral("P_CDCLIENTE")).setAsString(CDCLIENTE);
        proc->paramByName(prefix + QStringLiteral("P_CDCONSUMIDOR")).setAsString(CDCONSUMIDOR);
        proc->paramByName(prefix + QStringLiteral("P_CDFAMILISALD"))
            .setAsString(dm.adqFamiliaSaldo->fieldByName(QStringLiteral("CDFAMILISALD")).asString());
        proc->paramByName(prefix + QStringLiteral("P_DTINIEVOLUCAO")).setAsDateTime(DTINIEVOLUCAO);
        proc->execProc();
    }
}

} // namespace Srv_kvb52814
