-- What a kiosk's role may do in the store, given by the store's owner (kioskctl grant-kiosk ROLE):
-- read what the screen shows and what recovery and status read; add cash movements, fiscal
-- documents and statement lines; take numbers from the named counters; run the balance procedure,
-- which writes the balances with the owner's rights. Nothing else: no DELETE anywhere, no UPDATE of
-- movements, documents, statement lines or balances, no DDL. Whatever the role held on the store's
-- tables before is taken back first, so the grant is exactly this list.
CREATE OR REPLACE FUNCTION CONCEDE_PAPEL_QUIOSQUE(P_PAPEL VARCHAR)
RETURNS VOID
LANGUAGE plpgsql
SET search_path FROM CURRENT
AS $$
BEGIN
    IF NOT EXISTS (SELECT 1 FROM pg_roles WHERE rolname = P_PAPEL) THEN
        RAISE EXCEPTION 'role "%" does not exist (CREATE ROLE % LOGIN PASSWORD ... first)', P_PAPEL, P_PAPEL;
    END IF;
    IF EXISTS (SELECT 1 FROM pg_roles WHERE rolname = P_PAPEL AND (rolsuper OR rolbypassrls))
       OR EXISTS (SELECT 1 FROM pg_tables WHERE schemaname = current_schema() AND tablename = 'movcaixa'
                     AND tableowner = P_PAPEL) THEN
        RAISE EXCEPTION 'role "%" owns the store or is a superuser: a kiosk needs a role of its own', P_PAPEL;
    END IF;
    EXECUTE format('REVOKE ALL ON ALL TABLES IN SCHEMA %I FROM %I', current_schema(), P_PAPEL);
    EXECUTE format('GRANT USAGE ON SCHEMA %I TO %I', current_schema(), P_PAPEL);
    EXECUTE format('GRANT SELECT ON FAMILIASALDO, FAMSALDOFILI, SALDOCONS, PARAVEND, CAIXA, TURCAIXA, '
                   'CONSUMIDOR, VERSAOESQUEMA TO %I', P_PAPEL);
    EXECUTE format('GRANT SELECT, INSERT ON MOVCAIXA, DOCNFISCECF, EXTRATOCONS TO %I', P_PAPEL);
    -- The number generator adds a counter or moves it on (NOVOCODIGO's number only).
    EXECUTE format('GRANT SELECT, INSERT, UPDATE (NRSEQUENCIAL) ON NOVOCODIGO TO %I', P_PAPEL);
    EXECUTE format('GRANT EXECUTE ON FUNCTION ATUALIZA_SALDO_CONS_FKB(VARCHAR, VARCHAR, VARCHAR, TIMESTAMP) TO %I',
                   P_PAPEL);
END;
$$;

REVOKE ALL ON FUNCTION CONCEDE_PAPEL_QUIOSQUE(VARCHAR) FROM PUBLIC;
