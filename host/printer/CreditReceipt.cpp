#include "CreditReceipt.h"

#include "CardNumberMask.h"
#include "ClientDataSet.h"
#include "DateTimeValue.h"
#include "ReceiptLayout.h"

using ReceiptLayout::centred;
using ReceiptLayout::money;
using ReceiptLayout::pair;

void CreditReceipt::takeMovement(ClientDataSet& movement)
{
    amount = Money::fromUnits(movement.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(),
                              QStringLiteral("Valor do movimento"));
    cardType = movement.fieldByName(QStringLiteral("NMTIPORECE")).asString();
    cardNumber = movement.fieldByName(QStringLiteral("NRCARTBANCO")).asString();
    nsu = movement.fieldByName(QStringLiteral("CDNSUHOSTTEF")).asString();
    at = DateTimeValue::toDateTime(movement.fieldByName(QStringLiteral("DTHRINCMOV")).asDateTime());
}

QStringList CreditReceipt::lines(int width) const
{
    const QString rule(width, QLatin1Char('-'));
    QStringList out;
    out << centred(QStringLiteral("RECIBO DE DEPÓSITO"), width) << centred(QStringLiteral("CRÉDITO EM SALDO"), width)
        << rule;
    out << pair(QStringLiteral("Filial"), branch, width);
    if (!branchAddress.isEmpty())
        out << ReceiptLayout::printable(branchAddress).left(width);
    if (!municipalRegistration.isEmpty())
        out << pair(QStringLiteral("Inscr. municipal"), municipalRegistration, width);
    out << pair(QStringLiteral("Caixa"), tillName.isEmpty() ? till : till + QStringLiteral(" - ") + tillName, width);
    out << pair(QStringLiteral("Data/hora"), at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), width) << rule;
    out << pair(QStringLiteral("Consumidor"), consumerName, width);
    if (!family.isEmpty())
        out << pair(QStringLiteral("Família"), family, width);
    out << pair(QStringLiteral("Saldo anterior"), money(balanceBefore), width)
        << pair(QStringLiteral("Valor creditado"), money(amount), width)
        << pair(QStringLiteral("Saldo após crédito"), money(balanceBefore + amount), width) << rule;
    out << pair(QStringLiteral("Depósito"), depositNumber, width) << pair(QStringLiteral("Cartão"), cardType, width)
        << pair(QStringLiteral("Número"), CardNumberMask::mask(cardNumber), width)
        << pair(QStringLiteral("NSU"), nsu, width) << rule;
    out << pair(QStringLiteral("COO"), coo, width) << pair(QStringLiteral("GNF"), gnf, width);
    return out;
}
