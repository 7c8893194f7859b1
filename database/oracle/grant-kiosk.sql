-- What a kiosk's user may do in the store (Oracle), run by the store's owner after kioskctl
-- init-db; replace KIOSK_ROLE with the kiosk's user. The same rights kioskctl grant-kiosk gives on
-- PostgreSQL: read what the screen shows and what recovery and status read; add cash movements,
-- fiscal documents and statement lines; take numbers from the named counters; run the balance
-- procedure. No DELETE, no UPDATE of movements, documents, statement lines or balances, no DDL.
-- ATUALIZA_SALDO_CONS_FKB runs with its owner's rights (definer's rights, Oracle's default), so
-- the kiosk needs EXECUTE on it, never UPDATE on SALDOCONS. The kiosk's sessions name the owner's
-- tables unqualified: give its user ALTER SESSION SET CURRENT_SCHEMA = <owner> in a logon trigger.
GRANT SELECT ON FAMILIASALDO TO KIOSK_ROLE;
GRANT SELECT ON FAMSALDOFILI TO KIOSK_ROLE;
GRANT SELECT ON SALDOCONS TO KIOSK_ROLE;
GRANT SELECT ON PARAVEND TO KIOSK_ROLE;
GRANT SELECT ON CAIXA TO KIOSK_ROLE;
GRANT SELECT ON TURCAIXA TO KIOSK_ROLE;
GRANT SELECT ON CONSUMIDOR TO KIOSK_ROLE;
GRANT SELECT ON VERSAOESQUEMA TO KIOSK_ROLE;
GRANT SELECT, INSERT ON MOVCAIXA TO KIOSK_ROLE;
GRANT SELECT, INSERT ON DOCNFISCECF TO KIOSK_ROLE;
GRANT SELECT, INSERT ON EXTRATOCONS TO KIOSK_ROLE;
GRANT SELECT, INSERT, UPDATE (NRSEQUENCIAL) ON NOVOCODIGO TO KIOSK_ROLE;
GRANT EXECUTE ON ATUALIZA_SALDO_CONS_FKB TO KIOSK_ROLE;
