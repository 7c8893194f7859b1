#include "ModuleInstances.h"

#include "Cli_kvb52814.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TfrmRecSaldo.h"
#include "TrdmRecSaldo.h"

namespace Cli_kvb52814 {
TfrmRecSaldo* frmRecSaldo = nullptr;
}
namespace Srv_kvb52814 {
TrdmRecSaldo* rdmRecSaldo = nullptr;
}

namespace ModuleInstances {
namespace {
bool running = false;
}

EntryCall::EntryCall()
{
    if (running)
        throw KioskError(QStringLiteral("CriaRecSaldo: the recharge screen is already open; the entry cannot be "
                                        "called again before it returns"));
    running = true;
}

EntryCall::~EntryCall()
{
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = nullptr;
    delete Cli_kvb52814::frmRecSaldo;
    Cli_kvb52814::frmRecSaldo = nullptr;
    running = false;
}

TfrmRecSaldo& EntryCall::createScreen()
{
    Cli_kvb52814::frmRecSaldo = new TfrmRecSaldo(nullptr);
    return *Cli_kvb52814::frmRecSaldo;
}

ServerSession::ServerSession()
{
    if (running)
        throw KioskError(QStringLiteral("the recharge screen is open: its data module cannot be replaced"));
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = new TrdmRecSaldo(nullptr);
    try {
        Srv_kvb52814::rdmRecSaldo->adcRecSaldo->open();
    } catch (...) {
        delete Srv_kvb52814::rdmRecSaldo;
        Srv_kvb52814::rdmRecSaldo = nullptr;
        throw;
    }
}

ServerSession::~ServerSession()
{
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = nullptr;
}

TrdmRecSaldo& ServerSession::dataModule()
{
    return *Srv_kvb52814::rdmRecSaldo;
}

bool entryRunning()
{
    return running;
}

TrdmRecSaldo& dataModule()
{
    if (!Srv_kvb52814::rdmRecSaldo)
        Srv_kvb52814::rdmRecSaldo = new TrdmRecSaldo(nullptr);
    return *Srv_kvb52814::rdmRecSaldo;
}

} // namespace ModuleInstances
