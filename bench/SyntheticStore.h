#pragma once

#include <QString>

class SqlConnection;

// A store of a given size for the benchmark: branch 0001 with its families, a
// till with an open turn, and `consumers` consumers with `linesPerConsumer`
// statement lines each over the last `days` days (running balances and balance
// rows consistent), generated inside the database engine.
struct StoreSize
{
    int families = 20;
    int consumers = 100000;
    int linesPerConsumer = 100;
    int days = 730;
    qint64 lines() const { return qint64(consumers) * linesPerConsumer; }
};

namespace SyntheticStore {
void generate(SqlConnection& connection, const StoreSize& size);
QString consumerCode(int n);
extern const char* const client;
} // namespace SyntheticStore
