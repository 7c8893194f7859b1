#pragma once

#include <QString>

// Writes the kiosk's two local files for the demo branch into a data folder:
// PARAMETROSZEL.CDS and Dados/Cadastros/ConfTipoRece.cds.
namespace DemoFiles {
void write(const QString& folder);
}
