#pragma once

#include "ModuleExport.h"
#include "Money.h"

#include <QString>
#include <QtGlobal>

// What the consumer confirmed: taken once, when the card type is chosen, and from
// then on the only source of the amount, family, card type and consumer of the
// purchase. The card is charged, the receipt printed, the journal written and the
// store credited with these values; nothing of the screen is read again.
struct KVB_EXPORT PurchaseOrder {
    enum class Card { Credit = 1, Debit = 2 };

    Money amount;           // from the typed digits: "2500" is 25,00
    QString digits;         // the digits as typed, for the terminal's description
    QString family;         // CDFAMILISALD, "001"
    QString familyName;     // as the menu shows it
    Card card = Card::Credit;
    QString client;           // CDCLIENTE
    QString consumer;         // CDCONSUMIDOR
    QString consumerName;     // NMCONSUMIDOR, for the receipt
    QString branch;           // CDFILIAL
    QString till;             // CDCAIXA
    Money balanceBefore;      // the family's balance as the consumer saw it

    // The amount of a string of typed digits; nothing typed (or more than an amount holds) is 0.
    static Money amountOfDigits(const QString& digits);
    // The amount as the amount display shows it: every typed digit, the last two
    // the cents; "0,00" when nothing was typed.
    QString amountText(QChar separator) const;
    // "Família 1, 25,00": what the confirmation names.
    QString summary(QChar separator) const;
};
