#include "CancellationSlip.h"

#include "CardNumberMask.h"

#include <QLocale>

namespace
{
QString centred(const QString& text, int width)
{
    const QString t = text.left(width);
    return QString((width - int(t.size())) / 2, QLatin1Char(' ')) + t;
}

QString pair(const QString& label, const QString& value, int width)
{
    const int gap = width - int(label.size()) - int(value.size());
    if (gap < 1)
        return (label + QLatin1Char(' ') + value).left(width);
    return label + QString(gap, QLatin1Char(' ')) + value;
}
} // namespace

QStringList CancellationSlip::lines(int width) const
{
    const QString rule(width, QLatin1Char('-'));
    QStringList out;
    out << centred(QStringLiteral("CANCELAMENTO"), width) << rule;
    out << pair(QStringLiteral("Filial"), branch, width) << pair(QStringLiteral("Caixa"), till, width)
        << pair(QStringLiteral("Data/hora"), at.toString(QStringLiteral("dd/MM/yyyy HH:mm:ss")), width) << rule;
    out << pair(QStringLiteral("NSU"), nsu, width)
        << pair(QStringLiteral("Valor"), QLocale().toString(amount, 'f', 2), width)
        << pair(QStringLiteral("Cartão"), CardNumberMask::mask(cardNumber), width) << rule;
    out << centred(QStringLiteral("Nenhum valor será cobrado."), width);
    return out;
}
