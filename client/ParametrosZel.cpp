#include "ParametrosZel.h"

#include "ClientDataSet.h"
#include "KioskError.h"
#include "Logging.h"

namespace {
int toInt(const Field& f)
{
    const qint64 v = f.asInteger();
    if (v < INT_MIN || v > INT_MAX)
        throw DataSetError(QStringLiteral("field %1: %2 is out of range").arg(f.name()).arg(v));
    return int(v);
}
} // namespace

void ParametrosZel::readFrom(ClientDataSet& ds)
{
    const auto f = [&](const char* name) { return ds.fieldByName(QString::fromLatin1(name)); };
    INCOR1 = toInt(f("INCOR1"));
    INCOR2 = toInt(f("INCOR2"));
    IDESQUEMA = f("IDESQUEMA").asString();
    CDFILIAL = f("CDFILIAL").asString();
    CDLOJA = f("CDLOJA").asString();
    CDCAIXA = f("CDCAIXA").asString();
    CDOPERADORLOGIN = f("CDOPERADORLOGIN").asString();
    NMOPERADORLOGIN = f("NMOPERADORLOGIN").asString();
    CDCLIENTE = f("CDCLIENTE").asString();
    IDTIPOIMPFIS = toInt(f("IDTIPOIMPFIS"));
    CDPORTAIMPFIS = f("CDPORTAIMPFIS").asString();
    DSENDIPSITEF = f("DSENDIPSITEF").asString();
    STTOTCOMPCRED = f("STTOTCOMPCRED").asString();
    IDIMPCOMPCREDPE = f("IDIMPCOMPCREDPE").asString();
    IDPAISINTEGRA = f("IDPAISINTEGRA").asString();
    IDTIPOIMPNF1 = f("IDTIPOIMPNF1").asString();
    CDPORTIMPNF1 = f("CDPORTIMPNF1").asString();
    NMCAIXA = f("NMCAIXA").asString();
    DSENDEFILI = f("DSENDEFILI").asString();
    CDINSCMUNIFILI = f("CDINSCMUNIFILI").asString();
    UTILIZAIMPFIS = f("UTILIZAIMPFIS").asBoolean();
    const Field turn = f("DTABERCAIX");
    if (turn.isNull())
        qCWarning(lcScreen) << ds.describe() << ": DTABERCAIX is empty; the till's turn date reads as 0";
    DTABERCAIX = turn.asDateTime();
    DSDIRCAD = f("DSDIRCAD").asString();
}
