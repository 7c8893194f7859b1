#include "Packets.h"

#include "DateTimeValue.h"
#include "RecSaldoDataSets.h"

namespace Packets {
FieldDef field(const char* name, FieldType type, int size)
{
    return FieldDef::make(QString::fromLatin1(name), type, size);
}

DataPacket consumer(const QString& client, const QString& consumerCode, const QString& name)
{
    DataPacket p({field("CDCLIENTE", FieldType::String, 21), field("CDCONSUMIDOR", FieldType::String, 21),
                  field("NMCONSUMIDOR", FieldType::String, 60)});
    p.appendRow({client, consumerCode, name});
    return p;
}

DataPacket movement(const QList<double>& amounts, double when)
{
    const QList<FieldDef> fields = RecSaldoDataSets::movCaixaFields();
    DataPacket p(fields);
    const auto at = [&](const char* n) { return p.fieldIndex(QString::fromLatin1(n)); };
    for (double amount : amounts) {
        QVariantList r(fields.size());
        r[at("CDFILIAL")] = QStringLiteral("0001");
        r[at("IDTIPOMOVIVE")] = QStringLiteral("E");
        r[at("CDTIPORECE")] = QStringLiteral("010");
        r[at("DTHRINCMOV")] = when;
        r[at("CDTIPOTROCO")] = QString();
        r[at("VRMOVIVEND")] = amount;
        r[at("NMTIPORECE")] = QStringLiteral("Cartão Crédito");
        r[at("NRORDTROCO")] = QString();
        r[at("CDCLIENTE")] = QStringLiteral("C1");
        r[at("DTMOVIMCAIXA")] = DateTimeValue::dateOnly(when);
        r[at("DSIMPFISCAL")] = QStringLiteral("CARTAO CREDITO");
        r[at("IDTIPORECE")] = QStringLiteral("1");
        r[at("CDFPIMPFIS")] = QStringLiteral("03");
        r[at("NRCARTBANCO")] = QStringLiteral("****1234");
        static int nsu = 41; // each card transaction has its own NSU; the store refuses a repeat on a till
        r[at("CDNSUHOSTTEF")] = QStringLiteral("NSU%1").arg(++nsu);
        p.appendRow(r);
    }
    return p;
}

DataPacket parameters(const QString& dsDirCad, const QString& skip)
{
    const FieldType S = FieldType::String, I = FieldType::Integer;
    const QList<QPair<FieldDef, QVariant>> all = {
        {field("INCOR1", I), qint64(255)},
        {field("INCOR2", I), qint64(65280)},
        {field("IDESQUEMA", S, 3), QStringLiteral("002")},
        {field("CDFILIAL", S, 4), QStringLiteral("0001")},
        {field("CDLOJA", S, 4), QStringLiteral("01")},
        {field("CDCAIXA", S, 3), QStringLiteral("001")},
        {field("CDOPERADORLOGIN", S, 10), QStringLiteral("OP1")},
        {field("NMOPERADORLOGIN", S, 40), QStringLiteral("Operadora")},
        {field("CDCLIENTE", S, 21), QStringLiteral("C1")},
        {field("IDTIPOIMPFIS", I), qint64(3)},
        {field("CDPORTAIMPFIS", S, 10), QStringLiteral("COM1")},
        {field("DSENDIPSITEF", S, 40), QStringLiteral("10.0.0.5")},
        {field("STTOTCOMPCRED", S, 1), QStringLiteral("S")},
        {field("IDIMPCOMPCREDPE", S, 1), QStringLiteral("N")},
        {field("IDPAISINTEGRA", S, 1), QStringLiteral("B")},
        {field("IDTIPOIMPNF1", S, 2), QStringLiteral("01")},
        {field("CDPORTIMPNF1", S, 10), QStringLiteral("COM2")},
        {field("NMCAIXA", S, 40), QStringLiteral("Caixa Um")},
        {field("DSENDEFILI", S, 80), QStringLiteral("Rua A, 1")},
        {field("CDINSCMUNIFILI", S, 20), QStringLiteral("998877")},
        {field("UTILIZAIMPFIS", FieldType::Boolean), true},
        {field("DTABERCAIX", FieldType::DateTime),
         DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 30)))},
        {field("DSDIRCAD", S, 250), dsDirCad},
    };
    QList<FieldDef> fields;
    QVariantList row;
    for (const auto& [f, v] : all) {
        if (f.name == skip)
            continue;
        fields << f;
        row << v;
    }
    DataPacket p(fields);
    p.appendRow(row);
    return p;
}
} // namespace Packets
