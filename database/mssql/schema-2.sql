-- Version 2 of the store schema, from version 1 (kioskctl init-db runs it once).
-- A card transaction's NSU is unique per till, movement date and kind of movement instead of
-- per till forever: card networks number NSUs per day and reuse them, and a credit's reversal
-- carries the NSU of the credit it reverses.
IF EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'MOVCAIXA_NSU' AND object_id = OBJECT_ID('MOVCAIXA'))
    DROP INDEX MOVCAIXA_NSU ON MOVCAIXA;
IF NOT EXISTS (SELECT 1 FROM sys.indexes WHERE name = 'MOVCAIXA_NSU_DIA' AND object_id = OBJECT_ID('MOVCAIXA'))
    CREATE UNIQUE INDEX MOVCAIXA_NSU_DIA ON MOVCAIXA (CDFILIAL, CDCAIXA, CDNSUHOSTTEF, DTMOVIMCAIXA, IDTIPOMOVIVE)
        WHERE CDNSUHOSTTEF IS NOT NULL AND CDNSUHOSTTEF <> '';
GO
IF OBJECT_ID('VERSAOESQUEMA') IS NULL
    CREATE TABLE VERSAOESQUEMA (NRVERSAOESQ INT NOT NULL PRIMARY KEY, DSVERSAOESQ VARCHAR(80),
        DTHRAPLICESQ DATETIME2(3) NOT NULL);
GO
