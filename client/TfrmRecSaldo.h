#pragma once

#include "ParametrosZel.h"
#include "ModuleExport.h"

#include <QDialog>
#include <QScopedPointer>

class ClientDataSet;
class QTimer;
class TMessages;
namespace Ui {
class TfrmRecSaldo;
}

// The balance-recharge screen: its design comes from Cli_kvb52814.ui, its
// controls are reached by object name; this class holds the screen's state,
// its message table, idle timer and data sets.
class KVB_EXPORT TfrmRecSaldo : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmRecSaldo(QWidget* owner = nullptr);
    ~TfrmRecSaldo() override;

    void FormCreate(QObject* sender);
    void InicializaForm();

    // Path of the parameters file: beside the host program (its data folder).
    static QString parametersFilePath();
    // Receipt-type file path for a DSDIRCAD value, as the screen builds it.
    static QString receiptTypeFilePath(const QString& dsDirCad);

    TMessages* msgPadrao;
    QTimer* tmrPadrao;
    ClientDataSet* cdsConsumidor;
    ClientDataSet* cdsSALDOCONS;
    ClientDataSet* cdsMovCaixa;
    ClientDataSet* cdsParametrosZel;
    ClientDataSet* cdsTipRecConf;
    ClientDataSet* cdsTotSalCons;
    ClientDataSet* cdsBuscaPorta;
    ClientDataSet* cdsConfTipoRece;

    ParametrosZel parametros;
    QString ValorDigitado;
    QString FamiliaSelecionada;
    int InicioMenu = 0;
    bool PrimeiraCarga = false;
    bool TempoEsgotado = false;
    bool LiberaOK = false;
    QString PortaImpressora;

protected:
    void changeEvent(QEvent* event) override;

private:
    const QScopedPointer<Ui::TfrmRecSaldo> m_ui;
};
