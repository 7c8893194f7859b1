-- Brings one consumer's balance in one family up to date from a start date:
-- the running balance of the last line before the start (0 if none), then every
-- line from the start on in date and line order, credits adding and debits
-- subtracting, each line's running balance written back, and the final balance
-- stored in SALDOCONS. Only lines from the start date on are read.
-- A function rather than a procedure so that the call can be prepared and
-- bound by name like every other statement; it runs in the caller's transaction.
--
-- It runs with its owner's rights (SECURITY DEFINER): a kiosk's role may call it but may not
-- write balances itself, so a kiosk's password cannot set a balance. Its search path is fixed
-- to the schema that holds the store's tables, then pg_temp (last, so that no temporary table
-- of the caller's can stand in for a store table).
SELECT set_config('search_path', quote_ident(current_schema()) || ', pg_temp', true);

CREATE OR REPLACE FUNCTION ATUALIZA_SALDO_CONS_FKB(
    P_CDCLIENTE      VARCHAR,
    P_CDCONSUMIDOR   VARCHAR,
    P_CDFAMILISALD   VARCHAR,
    P_DTINIEVOLUCAO  TIMESTAMP)
RETURNS VOID
LANGUAGE plpgsql
SECURITY DEFINER
SET search_path FROM CURRENT
AS $$
DECLARE
    V_SALDO   NUMERIC(15,2);
    V_LINHAS  INTEGER := 0;
    V_ATUAL   NUMERIC(15,2);
    R         RECORD;
BEGIN
    -- Queue behind any recording or evolution of this consumer still open, then read what it committed.
    PERFORM BLOQUEIA_SALDO_CONS(P_CDCLIENTE, P_CDCONSUMIDOR);

    SELECT E.VRSALDCONEXT INTO V_SALDO
      FROM EXTRATOCONS E
     WHERE E.CDCLIENTE = P_CDCLIENTE
       AND E.CDCONSUMIDOR = P_CDCONSUMIDOR
       AND E.CDFAMILISALD = P_CDFAMILISALD
       AND E.DTMOVEXTCONS < P_DTINIEVOLUCAO
     ORDER BY E.DTMOVEXTCONS DESC, E.NRSEQMOVEXT DESC
     LIMIT 1;
    IF FOUND THEN
        V_LINHAS := 1;
    END IF;
    V_SALDO := COALESCE(V_SALDO, 0);

    FOR R IN
        SELECT E.DTMOVEXTCONS, E.NRSEQMOVEXT, E.IDTPMOVEXT, E.VRMOVEXTCONS, E.VRSALDCONEXT
          FROM EXTRATOCONS E
         WHERE E.CDCLIENTE = P_CDCLIENTE
           AND E.CDCONSUMIDOR = P_CDCONSUMIDOR
           AND E.CDFAMILISALD = P_CDFAMILISALD
           AND E.DTMOVEXTCONS >= P_DTINIEVOLUCAO
         ORDER BY E.DTMOVEXTCONS, E.NRSEQMOVEXT
    LOOP
        V_LINHAS := V_LINHAS + 1;
        IF R.IDTPMOVEXT = 'C' THEN
            V_SALDO := V_SALDO + R.VRMOVEXTCONS;
        ELSIF R.IDTPMOVEXT = 'D' THEN
            V_SALDO := V_SALDO - R.VRMOVEXTCONS;
        END IF;
        IF R.VRSALDCONEXT IS DISTINCT FROM V_SALDO THEN
            UPDATE EXTRATOCONS
               SET VRSALDCONEXT = V_SALDO
             WHERE CDCLIENTE = P_CDCLIENTE
               AND CDCONSUMIDOR = P_CDCONSUMIDOR
               AND CDFAMILISALD = P_CDFAMILISALD
               AND DTMOVEXTCONS = R.DTMOVEXTCONS
               AND NRSEQMOVEXT = R.NRSEQMOVEXT;
        END IF;
    END LOOP;

    -- A family the consumer never used keeps having no balance row, and an
    -- unchanged balance is not written (nor locked): a call that changes nothing
    -- commits without touching the log.
    IF V_LINHAS > 0 THEN
        SELECT S.VRSALDCONFAM INTO V_ATUAL
          FROM SALDOCONS S
         WHERE S.CDCLIENTE = P_CDCLIENTE
           AND S.CDCONSUMIDOR = P_CDCONSUMIDOR
           AND S.CDFAMILISALD = P_CDFAMILISALD;
        IF NOT FOUND OR V_ATUAL IS DISTINCT FROM V_SALDO THEN
            INSERT INTO SALDOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, VRSALDCONFAM)
            VALUES (P_CDCLIENTE, P_CDCONSUMIDOR, P_CDFAMILISALD, V_SALDO)
            ON CONFLICT (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD) DO UPDATE
               SET VRSALDCONFAM = EXCLUDED.VRSALDCONFAM;
        END IF;
    END IF;
END;
$$;

-- Only roles granted it (kioskctl grant-kiosk) run it.
REVOKE ALL ON FUNCTION ATUALIZA_SALDO_CONS_FKB(VARCHAR, VARCHAR, VARCHAR, TIMESTAMP) FROM PUBLIC;
