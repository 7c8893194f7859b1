#pragma once

#include "ClientDataSet.h"
#include "DataPacket.h"
#include "ModuleExport.h"
#include "ParametrosZel.h"
#include "PurchaseOrder.h"
#include "PurchaseStates.h"
#include "PurchaseSupport.h"

#include <QObject>
#include <QString>

class PaidPurchase;
class PurchaseJournal;
class StoreWorker;
struct PurchaseRecord;

// A confirmed card purchase, from the card transaction to the new balance: chooses the
// receipt-type row, charges the card, fills the cash movement packet, prints the receipt,
// records the day's first coupon and the purchase, and settles the card transaction with
// the store's ledger. It works from the purchase order alone and runs by itself to its
// end on the store worker's thread: it never opens a box, never waits on a person and
// touches no widget. What it does is reported as signals on the thread that made it
// (its state, texts for the wait window, its end); once the terminal approved, every way
// out leaves the purchase recorded and confirmed, undone on the terminal, or in the
// journal for the next settlement.
class KVB_EXPORT CardPurchase : public QObject
{
    Q_OBJECT
public:
    // What the purchase takes from the screen, as values: its parameters and the
    // receipt-type configuration as loaded, and what a paid purchase relies on.
    struct Context {
        ParametrosZel parametros;
        DataPacket confTipoRece;
        PurchaseSupport support;
    };

    // What the terminal wrote back for this purchase.
    struct TerminalOutputs {
        QString nsu;
        QString authorisation;
        QString cardNumber; // masked
        QString bankCode;
        QString network;
        qint32 result = 0;
    };

    enum class End {
        Refused,  // the terminal did not carry the transaction out: nothing charged
        Failed,   // stopped by an error; the notice says what became of the card
        Completed // charged and settled; the notice says so when it was not plain
    };
    struct Result {
        End end = End::Failed;
        QString notice; // what the consumer is told, empty on a plain success
        TerminalOutputs outputs;
        DataPacket movCaixa; // the cash movement packet as sent to the store (empty before it was filled)
    };

    CardPurchase(Context context, PurchaseOrder order, QString functionCodes, StoreWorker& worker,
                 QObject* parent = nullptr);

    // Starts the purchase on the worker's thread and returns at once; `ended` says how it ended.
    void start();
    PurchaseState state() const { return m_state; }
    bool running() const { return m_running; }
    const PurchaseOrder& order() const { return m_order; }

signals:
    void stateChanged(PurchaseState state);
    // What the wait window shows now: the printing, the terminal's own prompts, a retry.
    void progress(const QString& text);
    void ended(const CardPurchase::Result& result);

private:
    // Worker side: every member below is touched only on the worker until `ended`.
    Result run();
    Result runSteps();
    void enter(PurchaseState state);
    // The worker's state, and the same for the screen's thread as a queued signal.
    void publish(PurchaseState state);
    void followJournal(PurchaseJournal& journal);
    Money freshFamilyBalance() const;
    void report(const QString& text);
    void chooseReceiptType();
    bool chargeCard();
    void fillPacket();
    void printAndRecord(PaidPurchase& paid);
    void readBalances(Result& result);
    PurchaseRecord journalRecord() const;
    PurchaseRecord orderRecord() const;

    Context m_ctx;
    const PurchaseOrder m_order;
    const QString m_functionCodes;
    StoreWorker& m_worker;
    ClientDataSet m_tipRecConf{QStringLiteral("cdsTipRecConf")};
    ClientDataSet m_movCaixa{QStringLiteral("cdsMovCaixa")};
    TerminalOutputs m_out;
    QString m_id; // the purchase's id in the journal, given at the order
    QString m_depositNumber;
    QString m_coo;
    QString m_gnf;
    double m_fiscalDate = 0;
    QString m_receiptPort; // set once the receipt is out
    bool m_printing = false; // the receipt is being printed now
    bool m_tefReceiptFailed = false; // the card payment's receipt did not print
    PurchaseState m_workerState = PurchaseState::Ordered;
    bool m_journalled = false;

    // Screen side.
    PurchaseState m_state = PurchaseState::Ordered;
    bool m_running = false;
};

Q_DECLARE_METATYPE(CardPurchase::Result)
