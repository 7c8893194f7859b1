#pragma once

#include "HostExport.h"
#include "Money.h"

#include <QDateTime>
#include <QString>
#include <QStringList>

class ClientDataSet;

// The credit receipt handed to the consumer after a card purchase: what is
// printed, laid out for a 40-column receipt printer. The card number is masked
// here again, whatever the caller passed.
struct HOST_EXPORT CreditReceipt {
    QString branch;
    QString branchAddress;
    QString municipalRegistration;
    QString till;
    QString tillName;
    QString consumerName;
    QString family;
    Money amount;
    Money balanceBefore;
    QString depositNumber;
    QString cardType;
    QString cardNumber;
    QString nsu;
    QDateTime at;
    QString coo;
    QString gnf;

    // Amount, card type, card number, NSU and time from the current record of the cash movement data set;
    // throws KioskError for an amount no store column holds.
    void takeMovement(ClientDataSet& movement);
    QStringList lines(int width = 40) const;
    QString text(int width = 40) const { return lines(width).join(QLatin1Char('\n')) + QLatin1Char('\n'); }
};
