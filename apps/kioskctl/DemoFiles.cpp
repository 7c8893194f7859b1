#include "DemoFiles.h"

#include "DateTimeValue.h"
#include "KioskError.h"
#include "RecSaldoDataSets.h"

#include <QDir>

namespace {
FieldDef def(const char* name, FieldType type, int size = 0)
{
    return FieldDef::make(QString::fromLatin1(name), type, size);
}
} // namespace

namespace DemoFiles {
void write(const QString& folder)
{
    const QString dir = QDir::cleanPath(QDir(folder).absolutePath());
    if (!QDir().mkpath(dir + QStringLiteral("/Dados/Cadastros")))
        throw KioskError(QStringLiteral("%1: cannot create the folder").arg(dir));

    const FieldType S = FieldType::String, I = FieldType::Integer;
    DataPacket params({def("INCOR1", I), def("INCOR2", I), def("IDESQUEMA", S, 3), def("CDFILIAL", S, 4),
                       def("CDLOJA", S, 4), def("CDCAIXA", S, 3), def("CDOPERADORLOGIN", S, 10),
                       def("NMOPERADORLOGIN", S, 40), def("CDCLIENTE", S, 21), def("IDTIPOIMPFIS", I),
                       def("CDPORTAIMPFIS", S, 10), def("DSENDIPSITEF", S, 40), def("STTOTCOMPCRED", S, 1),
                       def("IDIMPCOMPCREDPE", S, 1), def("IDPAISINTEGRA", S, 1), def("IDTIPOIMPNF1", S, 2),
                       def("CDPORTIMPNF1", S, 10), def("NMCAIXA", S, 40), def("DSENDEFILI", S, 80),
                       def("CDINSCMUNIFILI", S, 20), def("UTILIZAIMPFIS", FieldType::Boolean),
                       def("DTABERCAIX", FieldType::DateTime), def("DSDIRCAD", S, 250)});
    params.appendRow({qint64(16777215), qint64(0), QStringLiteral("002"), QStringLiteral("0001"),
                      QStringLiteral("01"), QStringLiteral("001"), QStringLiteral("0001"),
                      QStringLiteral("Quiosque"), QStringLiteral("000000000000001"), qint64(1),
                      QStringLiteral("COM1"), QStringLiteral("127.0.0.1"), QStringLiteral("S"), QStringLiteral("S"),
                      QStringLiteral("N"), QStringLiteral("01"), QStringLiteral("COM2"), QStringLiteral("Quiosque 1"),
                      QStringLiteral("Rua das Flores, 100 - Centro"), QStringLiteral("123456"), true,
                      DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0))), dir + QLatin1Char('/')});
    params.saveFile(dir + QStringLiteral("/PARAMETROSZEL.CDS"));

    const QList<FieldDef> fields = RecSaldoDataSets::confTipoReceFields();
    DataPacket types(fields);
    const auto row = [&](const char* code, const char* name, const char* fp, const char* kind, const char* fiscal) {
        QVariantList r(fields.size());
        r[0] = QStringLiteral("0001");
        r[1] = QString::fromLatin1(code);
        r[2] = QString::fromUtf8(name);
        r[10] = QString::fromLatin1(fp);
        r[11] = QString::fromLatin1(kind);
        r[28] = QString::fromLatin1(fiscal);
        types.appendRow(r);
    };
    row("001", "Dinheiro", "01", "0", "DINHEIRO");
    row("010", "Cartão Crédito", "03", "1", "CARTAO CREDITO");
    row("011", "Cartão Débito", "04", "2", "CARTAO DEBITO");
    types.saveFile(dir + QStringLiteral("/Dados/Cadastros/ConfTipoRece.cds"));
}
} // namespace DemoFiles
