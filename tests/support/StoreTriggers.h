#pragma once

class TestStore;

// Engine-specific test hooks on SALDOCONS: a log of the families written, in
// order, and a failure raised when one family's balance is written.
namespace StoreTriggers {
void logBalanceWrites(TestStore& store);          // fills EVOLUTION_LOG(N, CDFAMILISALD)
void failBalanceWriteOf(TestStore& store, const char* family);
} // namespace StoreTriggers
