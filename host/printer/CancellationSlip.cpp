#include "CancellationSlip.h"

#include "CardNumberMask.h"
#include "ReceiptLayout.h"

using ReceiptLayout::centred;
using ReceiptLayout::money;
using ReceiptLayout::pair;

QStringList CancellationSlip::lines(int width) const
{
    const QString rule(width, QLatin1Char('-'));
    QStringList out;
    out << centred(QStringLiteral("CANCELAMENTO"), width) << rule;
    out << pair(QStringLiteral("Filial"), branch, width) << pair(QStringLiteral("Caixa"), till, width)
        << pair(QStringLiteral("Data/hora"), at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), width) << rule;
    out << pair(QStringLiteral("NSU"), nsu, width) << pair(QStringLiteral("Valor"), money(amount), width)
        << pair(QStringLiteral("Cartão"), CardNumberMask::mask(cardNumber), width) << rule;
    out << centred(QStringLiteral("Nenhum valor será cobrado."), width);
    return out;
}
