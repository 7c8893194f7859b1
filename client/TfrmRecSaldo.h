#pragma once

#include "CardPurchase.h"
#include "ModuleExport.h"
#include "ParametrosZel.h"
#include "PurchaseSupport.h"

#include <QDateTime>
#include <QDialog>
#include <QPointer>
#include <QScopedPointer>

#include <functional>


class ClientDataSet;
class StoreWorker;
class TrdmRecSaldo;
class QAbstractButton;
class QLabel;
class QTimer;
class ReaderBurstFilter;
class TMessages;
struct PurchaseOrder;
namespace Ui
{
class TfrmRecSaldo;
}

// The balance-recharge screen: its design comes from Cli_kvb52814.ui, its
// controls are reached by object name; this class holds the screen's state,
// its message table, idle timer and data sets, and the handlers of its controls.
class KVB_EXPORT TfrmRecSaldo : public QDialog
{
    Q_OBJECT
public:
    explicit TfrmRecSaldo(QWidget* owner = nullptr);
    ~TfrmRecSaldo() override;

    void FormCreate(QObject* sender);
    // Prepares the screen over the data module it is handed (the module's one instance).
    void InicializaForm(TrdmRecSaldo& dataModule);

    // Path of the parameters file: beside the host program (its data folder).
    static QString parametersFilePath();
    // Receipt-type file path for a DSDIRCAD value, as the screen builds it.
    static QString receiptTypeFilePath(const QString& dsDirCad);

    // Show and activation: balance evolution once, then balances, menu and printer port,
    // all read on the store worker. Until they are shown the screen is "storeBusy" and
    // takes no input.
    void FormShow(QObject* sender);
    void FormActivate(QObject* sender);
    // Reloads the balances and the family menu and clears the typed amount; with no
    // family at all, locks the keypad and the keyboard for the rest of the screen's life.
    void RecSaldo();
    // The same, with the store read on the store worker: the screen goes on painting, and
    // `then` runs once the balances are shown.
    void reloadBalancesInBackground(std::function<void()> then);
    bool storeBusy() const { return m_storeBusy; }
    // Fills the five menu slots with the rows InicioMenu + 1 .. InicioMenu + 5.
    void CarregaMenu();

    // Keyboard: `key` is a virtual key code (8 Backspace, 13 Enter); FormKeyPress may
    // swallow the character by setting it to the null character.
    void FormKeyDown(QObject* sender, int& key);
    void FormKeyPress(QObject* sender, QChar& key);

    void dxbTeclado1Click(QObject* sender);
    void dxbTclCorrigirClick(QObject* sender);
    // The OK key: the whole purchase (card type, confirmation, card transaction,
    // receipt, recording, new balance).
    void dxbTclEnterClick(QObject* sender);
    void blbMenu1Click(QObject* sender);
    void bbbAcimaClick(QObject* sender);
    void bbbAbaixoClick(QObject* sender);
    void bbbVoltarClick(QObject* sender);
    void tmrPadraoTimer(QObject* sender);
    void blbCreditClick(QObject* sender);
    void blbDebtClick(QObject* sender);
    void BlendedBitBtn1Click(QObject* sender);

    // Where the OK key's purchase stands: the card type panel or the confirmation waiting
    // for the consumer, or the card purchase running on the store worker.
    enum class PurchaseStep { None, CardType, Confirmation, Charging };
    PurchaseStep purchaseStep() const { return m_step; }
    // The card purchase running now, or nullptr.
    CardPurchase* runningPurchase() const { return m_purchase; }
    // Stops and starts the idle timer: a full 15 seconds from now.
    void restartIdleCountdown();
    void stopIdleCountdown();
    // A tick of the idle timer: the timeout runs only when the full interval has passed
    // by the clock since the last restart; a tick that comes early waits for the rest.
    void idleTick();
    // From the OK key until the purchase has ended: the amount, the family and the
    // menu cannot change, and no input restarts the idle countdown.
    bool purchaseRunning() const { return m_purchaseRunning; }
    // Ends the modal run; requested while a handler or a card purchase is still running,
    // it takes effect when that has ended.
    void closeScreen();
    bool closePending() const { return m_closePending; }
    bool keyHandlersAttached() const { return m_keyHandlersAttached; }
    // The key preview's gate: holds typed keys briefly and drops a reader's bursts.
    ReaderBurstFilter* keyPreview() const { return m_keyPreview; }

    // The control of the design with that object name (nullptr when absent).
    template <typename T = QWidget> T* control(const QString& name) const { return findChild<T*>(name); }

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
    qint32 TipoCartao = 0;
    QString CodigosFuncao;
    // What the payment terminal writes back for the purchase under way.
    QString NsuHostTef;
    QString NrCartaoTef;
    QString BancoCartaoTef;
    QString AutorizacaoTef;
    QString RedeTef;

    PurchaseSupport purchaseSupport;

    // Runs a handler of the screen as the event loop would: a close it requests waits
    // for its return, and an error leaving it is shown in a message box while the
    // screen stays open.
    void runHandler(const std::function<void()>& handler);

protected:
    void changeEvent(QEvent* event) override;
    bool event(QEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;
    void keyPressEvent(QKeyEvent* event) override;

private:
    const QScopedPointer<Ui::TfrmRecSaldo> m_ui;
    bool m_shown = false;
    bool m_activatedOnce = false;
    bool m_keyHandlersAttached = true;
    bool m_closePending = false;
    int m_handlerDepth = 0;
    bool m_purchaseRunning = false;
    bool m_storeBusy = false; // the activation's balances are being read
    PurchaseStep m_step = PurchaseStep::None;
    QPointer<CardPurchase> m_purchase;
    StoreWorker* m_worker = nullptr;
    QDateTime m_idleSince;
    QTimer* m_idleRest = nullptr;
    QTimer* m_closeWait = nullptr; // the timeout notice's seconds before the screen closes
    QDateTime m_closeWaitSince;
    QString m_textBeforeStoreWait;
    ReaderBurstFilter* m_keyPreview = nullptr;

    void wireControls();
    void keyTyped(int qtKey, const QString& text);
    void numberFamilyRows();
    void showAmount();
    void showFamilyBalance();
    void moveMenu(int step);
    void locateChosenFamily();
    PurchaseOrder takeOrder();
    void lockForPurchase(bool locked);
    void setStoreBusy(bool busy);
    // A handler's failure: logged, and the consumer told in the kiosk's words.
    void handlerFailed(const QString& error);
    // Family menu and keypad take touches unless a purchase runs or the store is being read.
    void enableInput();
    void loadInBackground(bool printerPort, std::function<void()> then);
    void showBalances(const std::function<QVariant()>& balances, const std::function<QVariant()>& total);
    void showFamilyBalanceAfterPurchase();
    void finishPurchase(const QString& notice);
    void notice(const QString& text);
    void cardTypeAnswered();
    void confirmationAnswered(const PurchaseOrder& order, bool confirmed);
    void purchaseEnded(const CardPurchase::Result& result);
    void endPurchase();
    void closeWaitTick();
    // The card may be charged, or the purchase's new balance is being read: a close waits.
    bool paidPurchaseRunning() const { return m_purchase || (m_purchaseRunning && m_step == PurchaseStep::None); }
    QString consumerField(const QString& name);
};
