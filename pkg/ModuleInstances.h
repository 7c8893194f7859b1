#pragma once

#include "ModuleExport.h"

class TfrmRecSaldo;
class TrdmRecSaldo;

// The one owner of the module-wide instances: the recharge screen (frmRecSaldo)
// and the data module (rdmRecSaldo). They exist only inside one call of the
// entry; nothing else creates or frees them.
namespace ModuleInstances {

// One call of the entry. Opening a second while one is open is refused (the
// running call's screen and data module are left alone); closing frees the data
// module (closing its connection), then the screen, whatever happened.
class KVB_EXPORT EntryCall
{
public:
    EntryCall(); // throws KioskError when a call is already running
    ~EntryCall();
    EntryCall(const EntryCall&) = delete;
    EntryCall& operator=(const EntryCall&) = delete;

    // Creates the screen of this call (its design and creation handler run here).
    TfrmRecSaldo& createScreen();
};

// The data module without a screen, for the tools and tests that call the server
// functions directly: created and connected here, freed (connection closed) at the
// end. Refused while the entry runs, whose data module it would replace.
class KVB_EXPORT ServerSession
{
public:
    ServerSession(); // throws KioskError while the entry runs, or the connection's failure
    ~ServerSession();
    ServerSession(const ServerSession&) = delete;
    ServerSession& operator=(const ServerSession&) = delete;
    TrdmRecSaldo& dataModule();
};

// True while a call of the entry is running.
KVB_EXPORT bool entryRunning();

// The data module, created without owner when there is none yet (the screen's
// initialisation); the server functions then work on it.
KVB_EXPORT TrdmRecSaldo& dataModule();

} // namespace ModuleInstances
