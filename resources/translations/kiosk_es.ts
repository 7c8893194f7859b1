<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="pt_BR">
<context>
    <name>HomeLoop</name>
    <message>
        <source>O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente.</source>
        <translation>El sistema no está disponible ahora. Inténtelo de nuevo en unos instantes o llame a un empleado.</translation>
    </message>
    <message>
        <source>Código %1 não encontrado. Confira o código e digite de novo.</source>
        <translation>Código %1 no encontrado. Revise el código y escríbalo de nuevo.</translation>
    </message>
    <message>
        <source>A recarga não está disponível agora. Chame um atendente.</source>
        <translation>La recarga no está disponible ahora. Llame a un empleado.</translation>
    </message>
</context>
<context>
    <name>KioskMessageBox</name>
    <message>
        <source>Sim</source>
        <translation>Sí</translation>
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
        <translation>Cobro cancelado.</translation>
    </message>
    <message>
        <source>O crédito foi registrado.</source>
        <translation>El crédito fue registrado.</translation>
    </message>
    <message>
        <source>Registrando o crédito... tentativa %1 de %2</source>
        <translation>Registrando el crédito... intento %1 de %2</translation>
    </message>
    <message>
        <source>A compra não foi iniciada. O cartão não foi cobrado.</source>
        <translation>La compra no se inició. No se cobró la tarjeta.</translation>
    </message>
    <message>
        <source>Pagamento não aprovado. O cartão não foi cobrado.</source>
        <translation>Pago no aprobado. No se cobró la tarjeta.</translation>
    </message>
    <message>
        <source>O terminal de pagamento não respondeu. O cartão não foi cobrado.</source>
        <translation>El terminal de pago no respondió. No se cobró la tarjeta.</translation>
    </message>
    <message>
        <source>Recarga concluída. O crédito foi registrado.</source>
        <translation>Recarga completada. El crédito fue registrado.</translation>
    </message>
    <message>
        <source>O crédito não foi registrado. A cobrança no cartão foi cancelada.</source>
        <translation>El crédito no fue registrado. El cobro en la tarjeta fue cancelado.</translation>
    </message>
    <message>
        <source>A compra ficou pendente e será concluída ou cancelada. Chame um atendente.</source>
        <translation>La compra quedó pendiente y se completará o cancelará. Llame a un empleado.</translation>
    </message>
    <message>
        <source>Comprovante não impresso. O crédito foi registrado.</source>
        <translation>Comprobante no impreso. El crédito fue registrado.</translation>
    </message>
    <message>
        <source>Comprovante não impresso. A compra foi cancelada; o cartão não foi cobrado.</source>
        <translation>Comprobante no impreso. La compra fue cancelada; no se cobró la tarjeta.</translation>
    </message>
    <message>
        <source>Tempo esgotado. O cartão não foi cobrado.</source>
        <translation>Tiempo agotado. No se cobró la tarjeta.</translation>
    </message>
</context>
<context>
    <name>TfrmHome</name>
    <message>
        <source>Recarga Cartão</source>
        <translation>Recarga de Tarjeta</translation>
    </message>
    <message>
        <source>Digite seu código e toque OK, ou passe seu crachá.</source>
        <translation>Escriba su código y toque OK, o pase su credencial.</translation>
    </message>
    <message>
        <source>Corrigir</source>
        <translation>Corregir</translation>
    </message>
    <message>
        <source>Idioma / Language / Idioma</source>
        <translation>Idioma / Language / Idioma</translation>
    </message>
    <message>
        <source>Demonstração: códigos de consumidor</source>
        <translation>Demostración: códigos de consumidor</translation>
    </message>
</context>
<context>
    <name>TfrmRecSaldo</name>
    <message>
        <source>Recarga Cartão</source>
        <translation>Recarga de Tarjeta</translation>
    </message>
    <message>
        <source>Saldo</source>
        <translation>Saldo</translation>
    </message>
    <message>
        <source>Saldo Total</source>
        <translation>Saldo Total</translation>
    </message>
    <message>
        <source>Escolha o tipo de cartão.</source>
        <translation>Elija el tipo de tarjeta.</translation>
    </message>
    <message>
        <source>Cartão Crédito</source>
        <translation>Tarjeta de Crédito</translation>
    </message>
    <message>
        <source>Cartão Débito</source>
        <translation>Tarjeta de Débito</translation>
    </message>
    <message>
        <source>Sair</source>
        <translation>Salir</translation>
    </message>
    <message>
        <source>Corrigir</source>
        <translation>Corregir</translation>
    </message>
    <message>
        <source>Aguarde... reconectando ao servidor da loja</source>
        <translation>Espere... reconectando con el servidor de la tienda</translation>
    </message>
</context>
<context>
    <name>Zel_vandril</name>
    <message>
        <source>Falha no banco de dados (%1): %2</source>
        <translation>Fallo de la base de datos (%1): %2</translation>
    </message>
</context>
<context>
    <name>msgPadrao</name>
    <message>
        <source>Valor deve ser informado.</source>
        <translation>Debe indicar el importe.</translation>
    </message>
    <message>
        <source>Confirma operação para o saldo %s?</source>
        <translation>¿Confirma la operación para el saldo %s?</translation>
    </message>
    <message>
        <source>Operação realizada com sucesso.</source>
        <translation>Operación realizada con éxito.</translation>
    </message>
    <message>
        <source>Saldo deve ser informado.</source>
        <translation>Debe indicar el saldo.</translation>
    </message>
    <message>
        <source>Aguarde... Imprimindo cupom Tef.</source>
        <translation>Espere... Imprimiendo el comprobante de la tarjeta.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Configurações do Tef dedicado devem ser parametrizadas.</source>
        <translation>Operación bloqueada. Se deben configurar los parámetros del terminal de tarjetas.</translation>
    </message>
    <message>
        <source>Aguarde...</source>
        <translation>Espere...</translation>
    </message>
    <message>
        <source>Porta de impressão dos produtos não parametrizada no sistema de parametrização QTR. Realize a paremetrização antes de entrar no Auto atendimento</source>
        <translation>El puerto de impresión de productos no está configurado en el sistema de parametrización QTR. Configúrelo antes de iniciar el autoservicio.</translation>
    </message>
    <message>
        <source>Tempo esgotado.</source>
        <translation>Tiempo agotado.</translation>
    </message>
    <message>
        <source>Operação bloqueada. Tipos de recebimento cartão crédito/débito devem ser parametrizados.</source>
        <translation>Operación bloqueada. Se deben configurar los tipos de cobro con tarjeta de crédito/débito.</translation>
    </message>
    <message>
        <source>Família deve ser informada.</source>
        <translation>Debe elegir una familia de saldo.</translation>
    </message>
    <message>
        <source>Aguarde... Imprimindo comprovante de deposito.</source>
        <translation>Espere... Imprimiendo el comprobante de depósito.</translation>
    </message>
    <message>
        <source>Credito Caixa </source>
        <translation>Crédito Caja </translation>
    </message>
    <message>
        <source>Caixa: </source>
        <translation>Caja: </translation>
    </message>
    <message>
        <source>Recibo de Deposito</source>
        <translation>Recibo de Depósito</translation>
    </message>
    <message>
        <source>Saldo</source>
        <translation>Saldo</translation>
    </message>
    <message>
        <source>Saldo Total</source>
        <translation>Saldo Total</translation>
    </message>
    <message>
        <source>Operação bloqueada. Família deve ser informada.</source>
        <translation>Operación bloqueada. Debe elegir una familia de saldo.</translation>
    </message>
</context>
<context>
    <name>StandInLibrary</name>
    <message>
        <source>Insira ou aproxime o cartão</source>
        <translation>Inserte o acerque la tarjeta</translation>
    </message>
    <message>
        <source>Digite a senha</source>
        <translation>Digite su clave</translation>
    </message>
    <message>
        <source>Transação aprovada</source>
        <translation>Transacción aprobada</translation>
    </message>
    <message>
        <source>Transação negada</source>
        <translation>Transacción denegada</translation>
    </message>
    <message>
        <source>Valor inválido</source>
        <translation>Importe inválido</translation>
    </message>
</context>
</TS>
