#include "UnconfiguredTerminal.h"

#include "TerminalLogging.h"

#include <QCoreApplication>

QString UnconfiguredTerminal::refusal()
{
    return QCoreApplication::translate("UnconfiguredTerminal",
                                       "Terminal de pagamento não configurado. Nenhum valor foi cobrado.");
}

TerminalAnswer UnconfiguredTerminal::authorise(const TerminalRequest&)
{
    TerminalAnswer answer;
    answer.resultCode = -1;
    answer.text = refusal();
    display(answer.text);
    qCWarning(lcTerminal) << "card transaction refused: no payment terminal is configured ([terminal] of the "
                             "kiosk configuration)";
    return answer;
}

void UnconfiguredTerminal::confirm(const QString& nsu)
{
    throw TerminalError(QStringLiteral("no payment terminal is configured: transaction %1 cannot be confirmed").arg(nsu));
}

void UnconfiguredTerminal::undo(const QString& nsu)
{
    throw TerminalError(QStringLiteral("no payment terminal is configured: transaction %1 cannot be undone").arg(nsu));
}

std::optional<TerminalState> UnconfiguredTerminal::status(const QString&)
{
    return std::nullopt;
}

QList<PendingTransaction> UnconfiguredTerminal::pending()
{
    return {};
}
