#pragma once

#include "HostExport.h"
#include "Money.h"
#include "ReceiptDelivery.h"
#include "ReceiptExtras.h"

#include <QString>
#include <memory>

class ClientDataSet;
class PaymentTerminal;
struct CancellationSlip;

// The payment terminal and receipt printing package. The five functions the
// recharge module calls are procedure variables read at the moment of the call,
// so a test can put a fake in their place; each starts out pointing at the
// package's own implementation.
namespace Wst00001
{

// Prepares the terminal functions for one card transaction.
HOST_EXPORT extern void (*InstanciaFuncoes_Pgt00000)();

// Runs the card transaction on the payment terminal. True when it was approved; then
// NSU (1), authorisation code (2), the card number masked (3), the bank code or empty (4),
// the card network (5) and the result code (6) are written back. The transaction stays
// pending on the terminal until confirmed or undone (paymentTerminal()).
HOST_EXPORT extern bool (*CriaDedicado)(QString& nsuHost, QString& authorisation, QString& cardNumber,
                                        QString& bankCode, QString& network, qint32& resultCode,
                                        const QString& serverAddress, const QString& store, const QString& terminalId,
                                        qint32 arg10, qint32 arg11, Money amount, qint32 arg13, const QString& date,
                                        const QString& time, const QString& operatorId, const QString& functionCodes,
                                        qint32 arg18, qint32 arg19, Money amountAgain, const QString& arg21,
                                        const QString& schema, qint32 arg23, const QString& description);

// The card transaction's function, beyond CriaDedicado's fixed arguments: the payment
// server's code for the card type the consumer chose (CliSiTef::Function::credit or
// debit). Set just before the call; the call takes it and leaves it unset (0: the
// payment library asks how to pay).
HOST_EXPORT void setCardFunction(int function);

// Releases what InstanciaFuncoes_Pgt00000 prepared.
HOST_EXPORT extern void (*FinalizaFuncoes_Pgt00000)();

// The fiscal movement date (days since 1899-12-30, no time): today, or the configured date.
HOST_EXPORT extern double (*DataMoviFiscal)(const QString& schema);

// Prints the credit receipt for the posted record of `movement` and the texts given,
// on the printer named by `port`; writes the coupon's COO and GNF counters back.
// The family's name comes from setReceiptExtras(), set just before the call.
// Throws KioskError when the receipt could not be printed; receiptReachedPrinter()
// then tells whether the consumer may hold any of it.
HOST_EXPORT extern void (*Compr_CredPessoal)(const QString& port, const QString& totalizer, const QString& arg3,
                                             const QString& branch, const QString& till, const QString& schema,
                                             QString& coo, QString& gnf, ClientDataSet* movement, Money balanceBefore,
                                             const QString& consumerName, const QString& depositNumber,
                                             const QString& printCreditReceipt, const QString& countryIntegration,
                                             const QString& printerKind, const QString& productPrinterPort,
                                             qint32 arg17, const QString& arg18, const QString& tillName,
                                             const QString& branchAddress, const QString& arg21,
                                             const QString& municipalRegistration, const QString& arg23,
                                             const QString& arg24, bool usesFiscalPrinter, qint32 arg26, qint32 arg27);

// The printer the credit receipt goes to: the fiscal printer's port, or without a fiscal
// printer the till's other printer when it has one.
HOST_EXPORT QString receiptPort(const QString& port, const QString& productPrinterPort, bool usesFiscalPrinter);

// Prints a cancellation slip on the printer named by `port` (as receiptPort() gave it).
// Prints nothing for a purchase whose receipt this process tried to print on that
// port and nothing of which went out. Throws KioskError when it could not be printed.
HOST_EXPORT extern void (*printCancellationSlip)(const QString& port, const CancellationSlip& slip);

// Prints the card payment's receipt for the customer (the TEF receipt), as the payment
// library handed it with the approval of `nsu` in this process, on the printer named by
// `port` (as receiptPort() gave it) and in its code page; card numbers in it are masked
// again. Prints nothing when the library handed none. Throws KioskError when it could
// not be printed.
HOST_EXPORT extern void (*printTefReceipt)(const QString& port, const QString& nsu);

// The card-payment backend behind CriaDedicado, also used to confirm or undo a
// pending transaction. Until one is set, the one configured in the kiosk configuration
// is created on first use: the card-payment library it names ([terminal] library), else
// none, and every card transaction is refused.
HOST_EXPORT PaymentTerminal& paymentTerminal();
HOST_EXPORT void setPaymentTerminal(std::shared_ptr<PaymentTerminal> terminal);

// Restores the package's own implementations of the procedure variables.
HOST_EXPORT void restoreDefaults();

} // namespace Wst00001
