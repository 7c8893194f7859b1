-- What a kiosk's login may do in the store (SQL Server), run by the database administrator in
-- the store's database after kioskctl init-db; replace KIOSK_ROLE with the kiosk's database user
-- (CREATE USER ... FOR LOGIN ...). The same rights kioskctl grant-kiosk gives on PostgreSQL: read
-- what the screen shows and what recovery and status read; add cash movements, fiscal documents
-- and statement lines; take numbers from the named counters; run the balance procedure. No DELETE,
-- no UPDATE of movements, documents, statement lines or balances, no DDL.
-- ATUALIZA_SALDO_CONS_FKB and the tables share their owner (dbo), so the procedure writes the
-- balances through ownership chaining: the kiosk needs EXECUTE on it, never UPDATE on SALDOCONS.
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
GRANT SELECT, INSERT ON NOVOCODIGO TO KIOSK_ROLE;
GRANT UPDATE (NRSEQUENCIAL) ON NOVOCODIGO TO KIOSK_ROLE;
GRANT EXECUTE ON ATUALIZA_SALDO_CONS_FKB TO KIOSK_ROLE;
