#pragma once

#include <QString>

class ClientDataSet;

// The kiosk's parameter values, copied from the first record of PARAMETROSZEL.CDS.
// Before the file is read (and for good when there is none) texts are empty,
// numbers 0 and the flag false.
struct ParametrosZel
{
    int INCOR1 = 0;
    int INCOR2 = 0;
    QString IDESQUEMA;
    QString CDFILIAL;
    QString CDLOJA;
    QString CDCAIXA;
    QString CDOPERADORLOGIN;
    QString NMOPERADORLOGIN;
    QString CDCLIENTE;
    int IDTIPOIMPFIS = 0;
    QString CDPORTAIMPFIS;
    QString DSENDIPSITEF;
    QString STTOTCOMPCRED;
    QString IDIMPCOMPCREDPE;
    QString IDPAISINTEGRA;
    QString IDTIPOIMPNF1;
    QString CDPORTIMPNF1;
    QString NMCAIXA;
    QString DSENDEFILI;
    QString CDINSCMUNIFILI;
    bool UTILIZAIMPFIS = false;
    double DTABERCAIX = 0.0;
    QString DSDIRCAD;

    // Copies the 23 fields in order from the current record; a missing field or
    // an unreadable value raises at that field, the earlier ones already copied.
    void readFrom(ClientDataSet& cdsParametrosZel);
};
