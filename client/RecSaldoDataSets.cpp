#include "RecSaldoDataSets.h"

namespace {
struct FieldLine
{
    const char* name;
    FieldType type;
    int size;
    bool visible;
    const char* label;
    const char* format;
};

QList<FieldDef> build(std::initializer_list<FieldLine> lines)
{
    QList<FieldDef> out;
    for (const FieldLine& s : lines) {
        FieldDef f;
        f.name = QString::fromLatin1(s.name);
        f.type = s.type;
        f.size = s.size;
        f.visible = s.visible;
        f.displayLabel = QString::fromUtf8(s.label);
        f.displayFormat = QString::fromLatin1(s.format);
        out.append(f);
    }
    return out;
}

constexpr FieldType S = FieldType::String;
constexpr FieldType F = FieldType::Float;
constexpr FieldType DT = FieldType::DateTime;
constexpr FieldType D = FieldType::Date;
} // namespace

namespace RecSaldoDataSets {

QList<FieldDef> movCaixaFields()
{
    return build({
        {"CDFILIAL", S, 4, false, "", ""},        {"NRSEQUMOVI", S, 10, false, "", ""},
        {"IDTIPOMOVIVE", S, 1, false, "", ""},    {"DSMOVIVEND", S, 250, false, "", ""},
        {"NRSEQVENDA", S, 10, false, "", ""},     {"CDTIPORECE", S, 3, false, "", ""},
        {"DTHRINCMOV", DT, 0, false, "", ""},     {"DTDEPCHEQUE", DT, 0, false, "", ""},
        {"NRCONTRAVALE", S, 10, false, "", ""},   {"CDTIPOTROCO", S, 3, true, "", ""},
        {"VRMOVIVEND", F, 0, true, "Valor", "#,##0.00"},
        {"NMTIPORECE", S, 40, true, "Recebimento", ""},
        {"NRORDTROCO", S, 3, true, "", ""},       {"CDCLIENTE", S, 21, true, "", ""},
        {"CDCONSUMIDOR", S, 21, true, "", ""},    {"DTMOVIMCAIXA", D, 0, true, "", ""},
        {"VRMOVIVEOUT", F, 0, true, "", ""},      {"VRCOTINDOUT", F, 0, true, "", ""},
        {"CDAGECHEQVEN", S, 5, true, "", ""},     {"CDBANCHEQVEN", S, 3, true, "", ""},
        {"CDCNTCHEQVEN", S, 16, true, "", ""},    {"DTDEPCHEQVEN", DT, 0, true, "", ""},
        {"NRCHEQUEVEND", S, 6, true, "", ""},     {"DSIMPFISCAL", S, 50, true, "", ""},
        {"IDTIPORECE", S, 1, true, "", ""},       {"CDFPIMPFIS", S, 10, true, "", ""},
        {"NRCARTBANCO", S, 10, true, "", ""},     {"CDTIPORECEORIG", S, 3, true, "", ""},
        {"CDBANCARTCR", S, 10, true, "", ""},     {"CDCCUSCLIE", S, 10, true, "", ""},
        {"CDNSUHOSTTEF", S, 50, true, "", ""},
    });
}

QList<FieldDef> confTipoReceFields()
{
    return build({
        {"CDFILIAL", S, 4, false, "Cód. Filial", ""}, {"CDTIPORECE", S, 3, true, "Código", ""},
        {"NMTIPORECE", S, 40, true, "Nome", ""},      {"VRTAXAADMI", F, 0, false, "", ""},
        {"VRMINCARTAO", F, 0, false, "", ""},         {"CDTIPOTROCO", S, 3, false, "", ""},
        {"NRORDTROCO", S, 3, false, "", ""},          {"IDEMIVALE", S, 1, false, "", ""},
        {"IDVALE", S, 1, false, "", ""},              {"IDDEBCLIE", S, 1, false, "", ""},
        {"CDFPIMPFIS", S, 10, false, "", ""},         {"IDTIPORECE", S, 1, false, "", ""},
        {"CDTPINDICE", S, 1, false, "", ""},          {"IDPERVALOR", S, 1, false, "", ""},
        {"CDINDICE", S, 4, false, "", ""},            {"NRCONFTELA", S, 5, false, "", ""},
        {"IDTPBUTTON", S, 1, false, "", ""},          {"NRBUTTON", S, 5, false, "", ""},
        {"NRPGCONFTELA", S, 2, false, "", ""},        {"NRPGCONFTAUX", S, 2, false, "", ""},
        {"IDTPBUTONAUX", S, 1, false, "", ""},        {"NRBUTTONAUX", S, 5, false, "", ""},
        {"CDIDENTBUTON", S, 10, false, "", ""},       {"DSBUTTON", S, 40, false, "", ""},
        {"NRCOLORTEXT", F, 0, false, "", ""},         {"NRCOLORBACK", F, 0, false, "", ""},
        {"DSMESSAGEBUT", S, 300, false, "", ""},      {"DSIMAGEMBUT", S, 200, false, "", ""},
        {"DSIMPFISCAL", S, 50, true, "", ""},         {"CDADMINCART", S, 20, true, "", ""},
        {"CDBANCARTCR", S, 10, true, "", ""},         {"IDMOSTRARECE", S, 1, true, "", ""},
        {"IDDESABTEF", S, 1, true, "", ""},           {"NRFONTETEXT", F, 0, true, "", ""},
        {"IDSANGRIAAUTO", S, 1, true, "", ""},
    });
}

} // namespace RecSaldoDataSets
