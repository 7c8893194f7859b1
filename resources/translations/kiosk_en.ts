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
</TS>
