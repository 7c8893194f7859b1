#include "PurchaseTexts.h"

#include <QCoreApplication>

namespace PurchaseTexts
{
QString notStarted()
{
    return QCoreApplication::translate("PurchaseTexts", "A compra não foi iniciada. O cartão não foi cobrado.");
}

QString terminalRefused()
{
    return QCoreApplication::translate("PurchaseTexts", "Pagamento não aprovado. O cartão não foi cobrado.");
}

QString terminalUnreachable()
{
    return QCoreApplication::translate("PurchaseTexts",
                                       "O terminal de pagamento não respondeu. O cartão não foi cobrado.");
}

QString cancelled()
{
    return QCoreApplication::translate("PurchaseTexts", "Recebimento Cancelado.");
}

QString recorded()
{
    return QCoreApplication::translate("PurchaseTexts", "Recarga concluída. O crédito foi registrado.");
}

QString recordedLate()
{
    return QCoreApplication::translate("PurchaseTexts", "O crédito foi registrado.");
}

QString undone()
{
    return QCoreApplication::translate("PurchaseTexts",
                                       "O crédito não foi registrado. A cobrança no cartão foi cancelada.");
}

QString unsettled()
{
    return QCoreApplication::translate("PurchaseTexts",
                                       "A compra ficou pendente e será concluída ou cancelada. Chame um atendente.");
}

QString printerFailed(bool creditRecorded)
{
    return creditRecorded
               ? QCoreApplication::translate("PurchaseTexts", "Comprovante não impresso. O crédito foi registrado.")
               : QCoreApplication::translate(
                     "PurchaseTexts", "Comprovante não impresso. A compra foi cancelada; o cartão não foi cobrado.");
}

QString timedOut()
{
    return QCoreApplication::translate("PurchaseTexts", "Tempo esgotado. O cartão não foi cobrado.");
}

QString recordingAttempt(int attempt, int attempts)
{
    return QCoreApplication::translate("PurchaseTexts", "Registrando o crédito... tentativa %1 de %2")
        .arg(attempt)
        .arg(attempts);
}
} // namespace PurchaseTexts
