#pragma once

// ATUALIZA_SALDO_CONS_FKB for the embedded store, which has no stored procedures:
// the same body as the server engines' procedure, run on the caller's connection.
namespace SqliteBalanceProcedure {
void install(); // registers the body once; later calls do nothing
} // namespace SqliteBalanceProcedure
