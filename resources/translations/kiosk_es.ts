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
<context>
    <name>TfrmHome</name>
    <message><source>Recarga Cartão</source><translation>Recarga de Tarjeta</translation></message>
    <message><source>Digite seu código e toque OK, ou passe seu crachá.</source><translation>Escriba su código y toque OK, o pase su credencial.</translation></message>
    <message><source>Corrigir</source><translation>Corregir</translation></message>
    <message><source>Idioma / Language / Idioma</source><translation>Idioma / Language / Idioma</translation></message>
    <message><source>Demonstração: códigos de consumidor</source><translation>Demostración: códigos de consumidor</translation></message>
</context>
<context>
    <name>HomeLoop</name>
    <message><source>O sistema não está disponível agora. Tente de novo em instantes ou chame um atendente.</source><translation>El sistema no está disponible ahora. Inténtelo de nuevo en unos instantes o llame a un empleado.</translation></message>
    <message><source>Código %1 não encontrado. Confira o código e digite de novo.</source><translation>Código %1 no encontrado. Revise el código y escríbalo de nuevo.</translation></message>
    <message><source>A recarga não está disponível agora. Chame um atendente.</source><translation>La recarga no está disponible ahora. Llame a un empleado.</translation></message>
</context>
</TS>
