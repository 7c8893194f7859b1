-- Version 2 of the store schema, from version 1 (kioskctl init-db runs it once).
-- A card transaction's NSU is unique per till, movement date and kind of movement instead of
-- per till forever: card networks number NSUs per day and reuse them, and a credit's reversal
-- carries the NSU of the credit it reverses.
DROP INDEX IF EXISTS MOVCAIXA_NSU;
CREATE UNIQUE INDEX IF NOT EXISTS MOVCAIXA_NSU_DIA
    ON MOVCAIXA (CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA, IDTIPOMOVIVE)
    WHERE CDNSUHOSTTEF IS NOT NULL AND CDNSUHOSTTEF <> '';
CREATE TABLE IF NOT EXISTS VERSAOESQUEMA (
    NRVERSAOESQ   INTEGER NOT NULL PRIMARY KEY,
    DSVERSAOESQ   VARCHAR(80),
    DTHRAPLICESQ  TIMESTAMP(3) NOT NULL
);
