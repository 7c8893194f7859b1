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
// The till's cash movements carrying a card transaction's NSU (fields NRSEQUMOVI, IDTIPOMOVIVE,
// DTMOVIMCAIXA, DTHRINCMOV, VRMOVIVEND), by movement date. Networks number NSUs per day, so the
// store holds at most one movement of a kind per NSU, till and movement date: with a date, at most
// the credit ("E") and its reversal ("S"); without one, those of every day.
KVB_EXPORT QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF);
KVB_EXPORT QVariant getMovCaixaNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                                   double DTMOVIMCAIXA);
// The balance credits a card transaction made on a till, by movement date: per credit its
// movement (DTMOVIMCAIXA, DTABERCAIX, NRSEQUMOVI, DTHRINCMOV, CDTIPORECE, VRMOVIVEND, NRCARTBANCO),
// its statement line (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRMOVEXTCONS, NRDEPOSICONS) and
// NRSEQUMOVIESTORNO, the movement of its reversal, null while it is not reversed.
KVB_EXPORT QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF);
KVB_EXPORT QVariant getCompCredNsu(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                                   double DTMOVIMCAIXA);
// Reverses the balance credit of a card transaction that was never paid (the terminal cancelled
// it): in one transaction a cash movement "S" of the credit's amount, receipt type, NSU and
// movement date in the credit's till turn, and a debit statement line of the same amount and
// family ("ZEL - Estorno Caixa " + till); then the consumer's balances are evolved as after a
// recording. Nothing on success; the failure's text otherwise, with nothing written when there is
// no such credit or it is already reversed. Never called by the purchase flow itself.
KVB_EXPORT QVariant setEstornaCompCred(const QString& CDFILIAL, const QString& CDCAIXA, const QString& CDNSUHOSTTEF,
                                       double DTMOVIMCAIXA);
// How a text of setEstornaCompCred begins when the reversal was committed and only the balance
// evolution after it failed (the next evolution repairs the balances): the reversal must not be
// tried again.
KVB_EXPORT QString reversalCommittedText();
// The highest coupon numbers (fields NRCOODOCNFIS and NRGNFDOCNFIS, null when there are none) of
// the fiscal documents a till recorded with a printer serial.
KVB_EXPORT QVariant getMaiorCupom(const QString& CDFILIAL, const QString& CDCAIXA, const QString& NRSERIEEFCDOCNF);
// Balances that disagree with their statement lines (a recording whose balance evolution never
// ran): per consumer and family CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM (null when
// there is no balance row), VRSALDOEXTRATO (credits less debits of its lines) and DTMOVEXTCONS
// (its first line, where an evolution has to start). One consumer's, or the whole store's.
KVB_EXPORT QVariant getSaldoDesatualizado(const QString& CDCLIENTE, const QString& CDCONSUMIDOR);
KVB_EXPORT QVariant getSaldosDesatualizados();
KVB_EXPORT void EvoluiSaldo(const QString& CDCLIENTE, const QString& CDCONSUMIDOR, const QString& CDFILIAL,
                            double DTINIEVOLUCAO);

// The counter key of the day's first coupon: "CUPINICIAL" + branch + till + the
// date in the kiosk's short date format.
KVB_EXPORT QString cupomInicialKey(const QString& CDFILIAL, const QString& CDCAIXA, double date);

} // namespace Srv_kvb52814
