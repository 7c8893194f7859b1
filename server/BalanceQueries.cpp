// getSaldoCons, getTotSalCons, getBuscaPorta: what the screen shows.
#include "QueryAnswer.h"
#include "Srv_kvb52814.h"

namespace Srv_kvb52814
{

QVariant getSaldoCons(const QString& CDFILIAL, const QString& CDCLIENTE, const QString& CDCONSUMIDOR)
{
    return QueryAnswer::packet(
        &TrdmRecSaldo::adqSALDOCONS, &TrdmRecSaldo::dspSALDOCONS,
        {{"P_CDFILIAL", CDFILIAL}, {"P_CDCLIENTE", CDCLIENTE}, {"P_CDCONSUMIDOR", CDCONSUMIDOR}});
}

QVariant getTotSalCons(const QString& CDCLIENTE, const QString& CDCONSUMIDOR)
{
    return QueryAnswer::packet(&TrdmRecSaldo::adqTotSalCons, &TrdmRecSaldo::dspTotSalCons,
                               {{"CDCLIENTE", CDCLIENTE}, {"CDCONSUMIDOR", CDCONSUMIDOR}});
}

QVariant getBuscaPorta(const QString& CDFILIAL, const QString& CDCAIXA)
{
    return QueryAnswer::packet(&TrdmRecSaldo::adqBuscaPorta, &TrdmRecSaldo::dspBuscaPorta,
                               {{"P_CDFILIAL", CDFILIAL}, {"P_CDCAIXA", CDCAIXA}});
}

} // namespace Srv_kvb52814
