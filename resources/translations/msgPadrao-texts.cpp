// The texts of the message table resources/msgPadrao.txt, for lupdate only (never
// compiled): TMessages::Msg translates each in the context "msgPadrao". Keep it in
// step with the table; tst_translations checks that every text is translated.
#include <QtGlobal>

static const char* const msgPadrao[] = {
    QT_TRANSLATE_NOOP("msgPadrao", "Valor deve ser informado."), // VALOR
    QT_TRANSLATE_NOOP("msgPadrao", "Confirma operação para o saldo %s?"), // CONF
    QT_TRANSLATE_NOOP("msgPadrao", "Operação realizada com sucesso."), // OPEROK
    QT_TRANSLATE_NOOP("msgPadrao", "Saldo deve ser informado."), // SALDO
    QT_TRANSLATE_NOOP("msgPadrao", "Aguarde... Imprimindo cupom Tef."), // AGUARDE_TEF
    QT_TRANSLATE_NOOP("msgPadrao", "Operação bloqueada. Configurações do Tef dedicado devem ser parametrizadas."), // CONF_TEF
    QT_TRANSLATE_NOOP("msgPadrao", "Aguarde..."), // AGUARDE
    QT_TRANSLATE_NOOP("msgPadrao", "Porta de impressão dos produtos não parametrizada no sistema de parametrização QTR. Realize a paremetrização antes de entrar no Auto atendimento"), // N_PORTA
    QT_TRANSLATE_NOOP("msgPadrao", "Tempo esgotado."), // TEMP_ESG
    QT_TRANSLATE_NOOP("msgPadrao", "Operação bloqueada. Tipos de recebimento cartão crédito/débito devem ser parametrizados."), // OPE_N_REC
    QT_TRANSLATE_NOOP("msgPadrao", "Família deve ser informada."), // SALDO_FAMILIA
    QT_TRANSLATE_NOOP("msgPadrao", "Aguarde... Imprimindo comprovante de deposito."), // AGUARDE_COMPROVANTE
    QT_TRANSLATE_NOOP("msgPadrao", "Credito Caixa "), // CRED_CX
    QT_TRANSLATE_NOOP("msgPadrao", "Caixa: "), // CAIXA
    QT_TRANSLATE_NOOP("msgPadrao", "Recibo de Deposito"), // RECIB_DEP
    QT_TRANSLATE_NOOP("msgPadrao", "Saldo"), // SALD
    QT_TRANSLATE_NOOP("msgPadrao", "Saldo Total"), // TOT_SALD
    QT_TRANSLATE_NOOP("msgPadrao", "Operação bloqueada. Família deve ser informada."), // Inf_Familia
};
