#pragma once

#include "ModuleExport.h"

#include <QString>
#include <QVariant>

class TrdmRecSaldo;

// The server functions. Those that return a variant catch every failure and
// return a data packet (queries) or nothing (recordings) on success and the
// failure's text otherwise; EvoluiSaldo returns nothing and raises.
namespace Srv_kvb52814
{

// The one data module; created by the screen's initialisation, freed by the entry.
KVB_EXPORT extern TrdmRecSaldo* rdmRecSaldo;

KVB_EXPORT QVariant getSaldoCons(const QString& CDFILIAL, const QString& CDCLIENTE, const QString& CDCONSUMIDOR);
KVB_EXPORT QVariant getTotSalCons(const QString& CDCLIENTE, const QString& CDCONSUMIDOR);
KVB_EXPORT QVariant getBuscaPorta(const QString& CDFILIAL, const QString& CDCAIXA);
KVB_EXPORT QVariant setGravaCupomInicial(const QString& CDFILIAL, const QString& CDCAIXA, const QString& NRCOODOCNFIS,
                                         double DTMOVIMENTO);
KVB_EXPORT QVariant setGravaCompCred(const QVariant& cdsMovCaixaData, const QString& CDFILIAL, const QString& CDCAIXA,
                                     const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFAMILISALD,
                                     const QString& NRDEPOSICONS, const QString& NRCOODOCNFIS,
                                     const QString& NRGNFDOCNFIS, const QString& NRSERIEEFCDOCNF, double DTABERCAIX,
                                     double DTMOVIDOCNFIS);
// The till's cash movements carrying a card transaction's NSU (field NRSEQUMOVI): at most one
// row, since the store refuses a second movement with the same NSU for a till.
KVB_EXPORT QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF);
// The highest coupon numbers (fields NRCOODOCNFIS and NRGNFDOCNFIS, null when there are none) of
// the fiscal documents a till recorded with a printer serial.
KVB_EXPORT QVariant getMaiorCupom(const QString& CDFILIAL, const QString& CDCAIXA, const QString& NRSERIEEFCDOCNF);
KVB_EXPORT void EvoluiSaldo(const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFILIAL,
                            double DTINIEVOLUCAO);

// The counter key of the day's first coupon: "CUPINICIAL" + branch + till + the
// date in the kiosk's short date format.
KVB_EXPORT QString cupomInicialKey(const QString& CDFILIAL, const QString& CDCAIXA, double date);

} // namespace Srv_kvb52814
