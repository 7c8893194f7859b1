#pragma once

#include "ModuleInstances.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TestStore.h"
#include "TrdmRecSaldo.h"

#include <memory>

// A store with the schema, and the module's data module created and connected
// to it the way the screen does; freed at the end of the test.
struct ModuleFixture {
    ModuleFixture() : store(std::make_unique<TestStore>())
    {
        store->createSchema();
        session = std::make_unique<ModuleInstances::ServerSession>();
    }
    TrdmRecSaldo& dm() { return *Srv_kvb52814::rdmRecSaldo; }

    // Branch 0001 with families 001..n ("Família n"), till 001 with port COM7, sales
    // parameters naming client PV1, the open turn `turn`, and consumer K1 of client C1.
    void seedBranch(int families, const QString& turn = QStringLiteral("2026-12-01 06:00:00.000"))
    {
        for (int i = 1; i <= families; ++i) {
            const QString code = QStringLiteral("%1").arg(i, 3, 10, QLatin1Char('0'));
            store->exec(QStringLiteral("INSERT INTO FAMILIASALDO VALUES ('%1', 'Família %2')").arg(code).arg(i));
            store->exec(QStringLiteral("INSERT INTO FAMSALDOFILI VALUES ('0001', '%1')").arg(code));
        }
        store->exec(QStringLiteral(
            "INSERT INTO CAIXA (CDFILIAL, CDCAIXA, NMCAIXA, CDPORTAIMPNF) VALUES ('0001', '001', 'Um', 'COM7')"));
        store->exec(QStringLiteral("INSERT INTO PARAVEND (CDFILIAL, CDCLIENTE) VALUES ('0001', 'PV1')"));
        store->exec(QStringLiteral("INSERT INTO TURCAIXA VALUES ('0001', '001', '%1', 'OP1')").arg(turn));
        seedConsumer(QStringLiteral("C1"), QStringLiteral("K1"));
    }

    void seedConsumer(const QString& client, const QString& consumer)
    {
        store->exec(
            QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('%1', '%2', 'Consumidor %2')").arg(client, consumer));
    }

    std::unique_ptr<TestStore> store;
    std::unique_ptr<ModuleInstances::ServerSession> session; // freed before the store
};
