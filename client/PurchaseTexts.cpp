#include "PurchaseTexts.h"

#include <QCoreApplication>

namespace PurchaseTexts
{
QString terminalRefused()
{
    return QCoreApplication::translate("PurchaseTexts", "Erro na transação Tef. Compra não efetuada.");
}

QString notStarted()
{
    return QCoreApplication::translate("PurchaseTexts",
                                       "A compra não pôde ser iniciada; nenhum valor foi cobrado do cartão.");
}

QString cancelled()
{
    return QCoreApplication::translate("PurchaseTexts", "Recebimento Cancelado.");
}

QString undone()
{
    return QCoreApplication::translate("PurchaseTexts", "Não foi possível registrar o crédito. A compra no cartão foi "
                                                        "cancelada; nenhum valor será cobrado.");
}

QString recordedLate()
{
    return QCoreApplication::translate("PurchaseTexts", "O crédito foi registrado.");
}

QString unsettled()
{
    return QCoreApplication::translate("PurchaseTexts",
                                       "Não foi possível concluir o registro do crédito agora. A compra será "
                                       "concluída ou cancelada automaticamente; guarde o comprovante.");
}

QString recordingAttempt(int attempt, int attempts)
{
    return QCoreApplication::translate("PurchaseTexts", "Registrando o crédito... tentativa %1 de %2")
        .arg(attempt)
        .arg(attempts);
}
} // namespace PurchaseTexts
