<?xml version="1.0" encoding="utf-8"?>
<!DOCTYPE TS>
<TS version="2.1" language="es_ES" sourcelanguage="pt_BR">
<context>
    <name>TfrmRecSaldo</name>
    <message><source>Recarga Cartão</source><translation>Recarga de Tarjeta</translation></message>
    <message><source>Saldo</source><translation>Saldo</translation></message>
    <message><source>Saldo Total</source><translation>Saldo Total</translation></message>
    <message><source>Escolha o tipo de cartão.</source><translation>Elija el tipo de tarjeta.</translation></message>
    <message><source>Cartão Crédito</source><translation>Tarjeta de Crédito</translation></message>
    <message><source>Cartão Débito</source><translation>Tarjeta de Débito</translation></message>
    <message><source>Sair</source><translation>Salir</translation></message>
    <message><source>Corrigir</source><translation>Corregir</translation></message>
</context>
<context>
    <name>KioskMessageBox</name>
    <message><source>Sim</source><translation>Sí</translation></message>
    <message><source>Não</source><translation>No</translation></message>
    <message><source>OK</source><translation>OK</translation></message>
</context>
<context>
    <name>Zel_vandril</name>
    <message><source>Falha no banco de dados (%1): %2</source><translation>Fallo de la base de datos (%1): %2</translation></message>
</context>
</TS>
