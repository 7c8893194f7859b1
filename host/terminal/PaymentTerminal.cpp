#include "PaymentTerminal.h"

#include "TerminalPrompter.h"

TerminalPrompter::~TerminalPrompter() = default;

PaymentTerminal::~PaymentTerminal() = default;

QString terminalStateName(TerminalState state)
{
    switch (state) {
    case TerminalState::Pending:
        return QStringLiteral("pending");
    case TerminalState::Confirmed:
        return QStringLiteral("confirmed");
    case TerminalState::Undone:
        return QStringLiteral("undone");
    case TerminalState::Declined:
        return QStringLiteral("declined");
    }
    return QString();
}

std::optional<TerminalState> terminalStateFromName(const QString& name)
{
    for (TerminalState s :
         {TerminalState::Pending, TerminalState::Confirmed, TerminalState::Undone, TerminalState::Declined}) {
        if (terminalStateName(s) == name)
            return s;
    }
    return std::nullopt;
}
