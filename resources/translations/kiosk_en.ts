<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="en_US" sourcelanguage="pt_BR">
<context>
    <name>TfrmRecSaldo</name>
    <message><source>Recarga Cartão</source><translation>Card Recharge</translation></message>
    <message><source>Saldo</source><translation>Balance</translation></message>
    <message><source>Saldo Total</source><translation>Total Balance</translation></message>
    <message><source>Escolha o tipo de cartão.</source><translation>Choose the card type.</translation></message>
    <message><source>Cartão Crédito</source><translation>Credit Card</translation></message>
    <message><source>Cartão Débito</source><translation>Debit Card</translation></message>
    <message><source>Sair</source><translation>Exit</translation></message>
    <message><source>Corrigir</source><translation>Correct</translation></message>
</context>
<context>
    <name>KioskMessageBox</name>
    <message><source>Sim</source><translation>Yes</translation></message>
    <message><source>Não</source><translation>No</translation></message>
    <message><source>OK</source><translation>OK</translation></message>
</context>
<context>
    <name>Zel_vandril</name>
    <message><source>Falha no banco de dados (%1): %2</source><translation>Database failure (%1): %2</translation></message>
</context>
<context>
    <name>TfrmHome</name>
    <message><source>Recarga Cartão</source><translation>Card Recharge</translation></message>
    <message><source>Digite seu código e toque OK, ou passe seu crachá.</source><translation>Type your code and touch OK, or swipe your badge.</translation></message>
    <message><source>Corrigir</source><translation>Correct</translation></message>
    <message><source>Idioma / Language / Idioma</source><translation>Idioma / Language / Idioma</translation></message>
    <message><source>Demonstração: códigos de consumidor</source><translation>Demo: consumer codes</translation></message>
</context>
<context>
    <name>HomeLoop</name>
    <message><source>O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente.</source><translation>The system is not available right now. Try again in a moment or call an attendant.</translation></message>
    <message><source>Código %1 não encontrado. Confira o código e digite de novo.</source><translation>Code %1 not found. Check the code and type it again.</translation></message>
    <message><source>A recarga não está disponível agora. Chame um atendente.</source><translation>Recharge is not available right now. Please call an attendant.</translation></message>
</context>
</TS>
