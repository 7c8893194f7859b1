<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="pt_BR">
<context>
    <name>HomeLoop</name>
    <message>
        <source>O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente.</source>
        <translation>The system is not available right now. Try again in a moment or call an attendant.</translation>
    </message>
    <message>
        <source>Código %1 não encontrado. Confira o código e digite de novo.</source>
        <translation>Code %1 not found. Check the code and type it again.</translation>
    </message>
    <message>
        <source>A recarga não está disponível agora. Chame um atendente.</source>
        <translation>Recharge is not available right now. Please call an attendant.</translation>
    </message>
</context>
<context>
    <name>KioskMessageBox</name>
    <message>
        <source>Sim</source>
        <translation>Yes</translation>
    </message>
    <message>
        <source>Não</source>
        <translation>No</translation>
    </message>
    <message>
        <source>OK</source>
        <translation>OK</translation>
    </message>
</context>
<context>
    <name>PurchaseTexts</name>
    <message>
        <source>Recebimento Cancelado.</source>
        <translation>Payment cancelled.</translation>
    </message>
    <message>
        <source>O crédito foi registrado.</source>
        <translation>The credit was recorded.</translation>
    </message>
    <message>
        <source>Registrando o crédito... tentativa %1 de %2</source>
        <translation>Recording the credit... attempt %1 of %2</translation>
    </message>
    <message>
        <source>A compra não foi iniciada. O cartão não foi cobrado.</source>
        <translation>The purchase was not started. Your card was not charged.</translation>
    </message>
    <message>
        <source>Pagamento não aprovado. O cartão não foi cobrado.</source>
        <translation>Payment not approved. Your card was not charged.</translation>
    </message>
    <message>
        <source>O terminal de pagamento não respondeu. O cartão não foi cobrado.</source>
        <translation>The payment terminal did not answer. Your card was not charged.</translation>
    </message>
    <message>
        <source>Recarga concluída. O crédito foi registrado.</source>
        <translation>Top-up complete. The credit was recorded.</translation>
    </message>
    <message>
        <source>O crédito não foi registrado. A cobrança no cartão foi cancelada.</source>
        <translation>The credit was not recorded. The card charge was cancelled.</translation>
    </message>
    <message>
        <source>A compra ficou pendente e será concluída ou cancelada. Chame um atendente.</source>
        <translation>The purchase is pending and will be completed or cancelled. Please call staff.</translation>
    </message>
    <message>
        <source>Comprovante não impresso. O crédito foi registrado.</source>
        <translation>Receipt not printed. The credit was recorded.</translation>
    </message>
    <message>
        <source>Comprovante não impresso. A compra foi cancelada; o cartão não foi cobrado.</source>
        <translation>Receipt not printed. The purchase was cancelled; your card was not charged.</translation>
    </message>
    <message>
        <source>Tempo esgotado. O cartão não foi cobrado.</source>
        <translation>Time is up. Your card was not charged.</translation>
    </message>
</context>
<context>
    <name>TfrmHome</name>
    <message>
        <source>Recarga Cartão</source>
        <translation>Card Recharge</translation>
    </message>
    <message>
        <source>Digite seu código e toque OK, ou passe seu crachá.</source>
        <translation>Type your code and touch OK, or swipe your badge.</translation>
    </message>
    <message>
        <source>Corrigir</source>
        <translation>Correct</translation>
    </message>
    <message>
        <source>Idioma / Language / Idioma</source>
        <translation>Idioma / Language / Idioma</translation>
    </message>
    <message>
        <source>Demonstração: códigos de consumidor</source>
        <translation>Demo: consumer codes</translation>
    </message>
</context>
<context>
    <name>TfrmRecSaldo</name>
    <message>
        <source>Recarga Cartão</source>
        <translation>Card Recharge</translation>
    </message>
    <message>
        <source>Saldo</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Saldo Total</source>
        <translation>Total Balance</translation>
    </message>
    <message>
        <source>Escolha o tipo de cartão.</source>
        <translation>Choose the card type.</translation>
    </message>
    <message>
        <source>Cartão Crédito</source>
        <translation>Credit Card</translation>
    </message>
    <message>
        <source>Cartão Débito</source>
        <translation>Debit Card</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Exit</translation>
    </message>
    <message>
        <source>Corrigir</source>
        <translation>Correct</translation>
    </message>
    <message>
        <source>Aguarde... reconectando ao servidor da loja</source>
        <translation>Please wait... reconnecting to the store's server</translation>
    </message>
</context>
<context>
    <name>Zel_vandril</name>
    <message>
        <source>Falha no banco de dados (%1): %2</source>
        <translation>Database failure (%1): %2</translation>
    </message>
</context>
<context>
    <name>msgPadrao</name>
    <message>
        <source>Valor deve ser informado.</source>
        <translation>The amount must be entered.</translation>
    </message>
    <message>
        <source>Confirma operação para o saldo %s?</source>
        <translation>Confirm the operation for the balance %s?</translation>
    </message>
    <message>
        <source>Operação realizada com sucesso.</source>
        <translation>Operation completed successfully.</translation>
    </message>
    <message>
        <source>Saldo deve ser informado.</source>
        <translation>The balance must be entered.</translation>
    </message>
    <message>
        <source>Aguarde... Imprimindo cupom Tef.</source>
        <translation>Please wait... Printing the card receipt.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Configurações do Tef dedicado devem ser parametrizadas.</source>
        <translation>Operation blocked. The card terminal settings must be configured.</translation>
    </message>
    <message>
        <source>Aguarde...</source>
        <translation>Please wait...</translation>
    </message>
    <message>
        <source>Porta de impressão dos produtos não parametrizada no sistema de parametrização QTR. Realize a paremetrização antes de entrar no Auto atendimento</source>
        <translation>The product printer port is not configured in the QTR settings system. Configure it before starting self-service.</translation>
    </message>
    <message>
        <source>Tempo esgotado.</source>
        <translation>Time is up.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Tipos de recebimento cartão crédito/débito devem ser parametrizados.</source>
        <translation>Operation blocked. The credit/debit card payment types must be configured.</translation>
    </message>
    <message>
        <source>Família deve ser informada.</source>
        <translation>A balance family must be chosen.</translation>
    </message>
    <message>
        <source>Aguarde... Imprimindo comprovante de deposito.</source>
        <translation>Please wait... Printing the deposit receipt.</translation>
    </message>
    <message>
        <source>Credito Caixa </source>
        <translation>Till credit </translation>
    </message>
    <message>
        <source>Caixa: </source>
        <translation>Till: </translation>
    </message>
    <message>
        <source>Recibo de Deposito</source>
        <translation>Deposit Receipt</translation>
    </message>
    <message>
        <source>Saldo</source>
        <translation>Balance</translation>
    </message>
    <message>
        <source>Saldo Total</source>
        <translation>Total Balance</translation>
    </message>
    <message>
        <source>Operação bloqueada. Família deve ser informada.</source>
        <translation>Operation blocked. A balance family must be chosen.</translation>
    </message>
</context>
<context>
    <name>StandInLibrary</name>
    <message>
        <source>Insira ou aproxime o cartão</source>
        <translation>Insert or tap your card</translation>
    </message>
    <message>
        <source>Digite a senha</source>
        <translation>Enter your PIN</translation>
    </message>
    <message>
        <source>Transação aprovada</source>
        <translation>Transaction approved</translation>
    </message>
    <message>
        <source>Transação negada</source>
        <translation>Transaction declined</translation>
    </message>
    <message>
        <source>Valor inválido</source>
        <translation>Invalid amount</translation>
    </message>
</context>
</TS>
