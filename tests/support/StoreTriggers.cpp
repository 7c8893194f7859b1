#include "StoreTriggers.h"

#include "TestStore.h"

namespace StoreTriggers {
void logBalanceWrites(TestStore& s)
{
    if (s.engine() == QLatin1String("SQLITE")) {
        s.exec(QStringLiteral("CREATE TABLE EVOLUTION_LOG (N INTEGER PRIMARY KEY AUTOINCREMENT, CDFAMILISALD TEXT)"));
        for (const char* when : {"INSERT", "UPDATE"})
            s.exec(QStringLiteral("CREATE TRIGGER LOG_%1 AFTER %1 ON SALDOCONS BEGIN "
                                  "INSERT INTO EVOLUTION_LOG (CDFAMILISALD) VALUES (NEW.CDFAMILISALD); END")
                       .arg(QString::fromLatin1(when)));
    } else {
        s.exec(QStringLiteral("CREATE TABLE EVOLUTION_LOG (N SERIAL PRIMARY KEY, CDFAMILISALD VARCHAR(3))"));
        s.exec(QStringLiteral("CREATE FUNCTION LOG_SALDO() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                              "INSERT INTO EVOLUTION_LOG (CDFAMILISALD) VALUES (NEW.CDFAMILISALD); RETURN NEW; END $$"));
        s.exec(QStringLiteral("CREATE TRIGGER LOG_SALDO AFTER INSERT OR UPDATE ON SALDOCONS "
                              "FOR EACH ROW EXECUTE FUNCTION LOG_SALDO()"));
    }
}

void failBalanceWriteOf(TestStore& s, const char* family)
{
    const QString fam = QString::fromLatin1(family);
    if (s.engine() == QLatin1String("SQLITE")) {
        for (const char* when : {"INSERT", "UPDATE"})
            s.exec(QStringLiteral("CREATE TRIGGER FAIL_%1 BEFORE %1 ON SALDOCONS WHEN NEW.CDFAMILISALD = '%2' "
                                  "BEGIN SELECT RAISE(ABORT, 'balance of family %2 refused'); END")
                       .arg(QString::fromLatin1(when), fam));
    } else {
        s.exec(QStringLiteral("CREATE FUNCTION FAIL_SALDO() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                              "IF NEW.CDFAMILISALD = '%1' THEN RAISE EXCEPTION 'balance of family %1 refused'; "
                              "END IF; RETURN NEW; END $$").arg(fam));
        s.exec(QStringLiteral("CREATE TRIGGER FAIL_SALDO BEFORE INSERT OR UPDATE ON SALDOCONS "
                              "FOR EACH ROW EXECUTE FUNCTION FAIL_SALDO()"));
    }
}
} // namespace StoreTriggers
