// The module's entry: one call opens the recharge screen and returns when it closes.
#include "Cli_kvb52814.h"

#include "ClientDataSet.h"
#include "ModuleInstances.h"
#include "TfrmRecSaldo.h"

namespace Cli_kvb52814 {

// Filled and emptied by the package frame around each call of the entry.
TfrmRecSaldo* frmRecSaldo = nullptr;

void CriaRecSaldo(const QVariant& Consumidor)
{
    const QVariant consumer = Consumidor; // the entry's own reference for the whole call
    ModuleInstances::EntryCall call;
    TfrmRecSaldo& screen = call.createScreen();
    // The screen is handed the data module the frame owns (created now when there is none).
    screen.InicializaForm(ModuleInstances::dataModule());
    screen.cdsConsumidor->setData(consumer);
    screen.exec();
}

} // namespace Cli_kvb52814
