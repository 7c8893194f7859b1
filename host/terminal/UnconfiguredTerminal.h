#pragma once

#include "HostExport.h"
#include "PaymentTerminal.h"

// The terminal of a kiosk whose configuration names none: every card transaction is
// refused before a card is asked for, so a kiosk installed but not yet configured
// never credits a purchase nobody paid for. It holds no transaction.
class HOST_EXPORT UnconfiguredTerminal : public PaymentTerminal
{
public:
    static QString refusal();

    TerminalAnswer authorise(const TerminalRequest& request) override;
    void confirm(const QString& nsu) override;
    void undo(const QString& nsu) override;
    std::optional<TerminalState> status(const QString& nsu) override;
    QList<PendingTransaction> pending() override;
};
