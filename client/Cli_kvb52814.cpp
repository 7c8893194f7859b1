#include "Cli_kvb52814.h"

#include "ClientDataSet.h"
#include "Srv_kvb52814.h"
#include "TfrmRecSaldo.h"
#include "TrdmRecSaldo.h"

namespace Cli_kvb52814 {

TfrmRecSaldo* frmRecSaldo = nullptr;

namespace {
// Frees the data module (closing its connection), then the screen.
struct FreeModuleAndScreen
{
    ~FreeModuleAndScreen()
    {
        delete Srv_kvb52814::rdmRecSaldo;
        Srv_kvb52814::rdmRecSaldo = nullptr;
        delete frmRecSaldo;
        frmRecSaldo = nullptr;
    }
};
} // namespace

void CriaRecSaldo(const QVariant& Consumidor)
{
    const QVariant consumer = Consumidor;
    FreeModuleAndScreen cleanup;
    frmRecSaldo = new TfrmRecSaldo(nullptr);
    frmRecSaldo->InicializaForm();
    frmRecSaldo->cdsConsumidor->setData(consumer);
    frmRecSaldo->exec();
}

} // namespace Cli_kvb52814
