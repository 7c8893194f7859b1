#pragma once

#include "ModuleExport.h"
#include "PurchaseOrder.h"
#include "PurchaseSupport.h"

#include <QString>
#include <functional>

class ClientDataSet;
class PaidPurchase;
class QWidget;
struct ParametrosZel;
struct PurchaseRecord;

// A confirmed card purchase, from the card transaction to the new balance: chooses
// the receipt-type row, charges the card, fills the cash movement packet, prints the
// receipt, records the day's first coupon and the purchase, and settles the card
// transaction with the store's ledger. It works from the purchase order alone: no
// widget of the screen is read. Once the terminal approved, every way out leaves the
// purchase recorded and confirmed, undone on the terminal, or in the journal for the
// next settlement.
class KVB_EXPORT CardPurchase
{
public:
    // The screen's parts the purchase uses: its parameters, its data sets (the
    // receipt-type configuration, its working copy and the packet, which the printer
    // and the tests read), the screen the wait window covers, and what it shows once
    // the purchase is recorded.
    struct Context {
        const ParametrosZel& parametros;
        ClientDataSet& confTipoRece;
        ClientDataSet& tipRecConf;
        ClientDataSet& movCaixa;
        QWidget* screen = nullptr;
        PurchaseSupport support;
        std::function<void()> showNewBalance;
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
    };

    CardPurchase(Context context, PurchaseOrder order, QString functionCodes);

    // Runs the purchase to its end. Never throws: an error's text is the result's notice.
    Result run();
    const TerminalOutputs& outputs() const { return m_out; }

private:
    void chooseReceiptType();
    bool chargeCard();
    void fillPacket();
    void printAndRecord(PaidPurchase& paid);
    PurchaseRecord journalRecord() const;
    PurchaseRecord orderRecord() const;

    Context m_ctx;
    const PurchaseOrder m_order;
    const QString m_functionCodes;
    TerminalOutputs m_out;
    QString m_id; // the purchase's id in the journal, given at the order
    QString m_depositNumber;
    QString m_coo;
    QString m_gnf;
    double m_fiscalDate = 0;
    QString m_receiptPort; // set once the receipt is out
};
