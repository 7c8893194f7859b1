#pragma once

#include "HostExport.h"
#include "Money.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

// The slip printed when a card purchase whose receipt was already handed out is
// undone on the terminal: it tells the consumer that the receipt they hold is void
// and that nothing will be charged. The card number is masked here again.
struct HOST_EXPORT CancellationSlip {
    QString branch;
    QString till;
    QDateTime at;
    QString nsu;
    Money amount;
    QString cardNumber;

    QStringList lines(int width = 40) const;
    QString text(int width = 40) const { return lines(width).join(QLatin1Char('\n')) + QLatin1Char('\n'); }
};
