// One call of the entry: the screen's instance, filled and emptied around the call.
#include "Cli_kvb52814.h"
#include "KioskError.h"
#include "ModuleInstances.h"
#include "ModuleState.h"
#include "Srv_kvb52814.h"
#include "TfrmRecSaldo.h"
#include "TrdmRecSaldo.h"

namespace ModuleInstances
{
using detail::running;

EntryCall::EntryCall()
{
    if (running)
        throw KioskError(QStringLiteral("CriaRecSaldo: the recharge screen is already open; the entry cannot be "
                                        "called again before it returns"));
    running = true;
    detail::lendStoreToPrinter(true);
}

EntryCall::~EntryCall()
{
    delete Srv_kvb52814::rdmRecSaldo;
    Srv_kvb52814::rdmRecSaldo = nullptr;
    detail::lendStoreToPrinter(false);
    delete Cli_kvb52814::frmRecSaldo;
    Cli_kvb52814::frmRecSaldo = nullptr;
    running = false;
}

TfrmRecSaldo& EntryCall::createScreen()
{
    Cli_kvb52814::frmRecSaldo = new TfrmRecSaldo(nullptr);
    return *Cli_kvb52814::frmRecSaldo;
}

} // namespace ModuleInstances
