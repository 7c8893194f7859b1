#pragma once

#include "ModuleExport.h"
#include "TrdmRecSaldo.h"

class QString;
class QVariant;
namespace std {
class exception;
}

// Shared by the server function files: the module instance, or a failure when
// the screen has not created it.
namespace ServerModule {
TrdmRecSaldo& instance();
// The data module the server functions use on this thread: a worker thread's own
// (ThreadModule) or the module-wide one; nullptr when there is none.
TrdmRecSaldo* current();
// Makes the module's resources (statement texts, scripts, messages) reachable.
void initResources();
// The text a failing server function returns.
QString failureText(const std::exception& error);
// While it lives, the server functions called on this thread work on `module`: a worker
// thread's data module with a connection of its own (a connection belongs to the thread
// that opened it), so the screen's thread never waits on the store.
class KVB_EXPORT ThreadModule
{
public:
    explicit ThreadModule(TrdmRecSaldo* module);
    ~ThreadModule();
    ThreadModule(const ThreadModule&) = delete;
    ThreadModule& operator=(const ThreadModule&) = delete;

private:
    TrdmRecSaldo* m_previous;
};
} // namespace ServerModule
