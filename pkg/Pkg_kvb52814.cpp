// The loadable module's frame: what it exports under plain names. No logic here.
#include "Cli_kvb52814.h"

extern "C" KVB_EXPORT void CriaRecSaldo(const QVariant& Consumidor)
{
    Cli_kvb52814::CriaRecSaldo(Consumidor);
}
