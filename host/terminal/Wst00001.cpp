#include "Wst00001.h"

#include "CancellationSlip.h"
#include "CardNumberMask.h"
#include "CliSiTefTerminal.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "CouponCounters.h"
#include "CreditReceipt.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "PaymentTerminal.h"
#include "PrinterLogging.h"
#include "PrinterPort.h"
#include "ReceiptDelivery.h"
#include "ReceiptExtras.h"
#include "TerminalLogging.h"
#include "UnconfiguredTerminal.h"

#include <QCoreApplication>
#include <QMutex>

#include <utility>

namespace
{
std::shared_ptr<PaymentTerminal> backend;

// What passes between the calls of one purchase beyond their fixed argument lists; one
// purchase runs at a time in a kiosk, on whichever thread.
QMutex extrasLock;
int cardFunction = 0;
struct {
    QString nsu;
    QString text; // masked
} tefReceipt;

int takeCardFunction()
{
    const QMutexLocker locker(&extrasLock);
    return std::exchange(cardFunction, 0);
}

void keepTefReceipt(const QString& nsu, const QString& text)
{
    const QMutexLocker locker(&extrasLock);
    tefReceipt = {nsu, CardNumberMask::maskWithin(text)};
}

void instanciaFuncoes()
{
    Wst00001::paymentTerminal();
}

void finalizaFuncoes() {}

bool criaDedicado(QString& nsuHost, QString& authorisation, QString& cardNumber, QString& bankCode, QString& network,
                  qint32& resultCode, const QString& serverAddress, const QString&, const QString&, qint32, qint32,
                  Money amount, qint32, const QString& date, const QString& time, const QString& operatorId,
                  const QString& functionCodes, qint32, qint32, Money amountAgain, const QString&,
                  const QString& schema, qint32, const QString& description)
{
    const int function = takeCardFunction(); // for this call only, whatever its end
    if (amount != amountAgain) {
        qCWarning(lcTerminal) << "card transaction refused: the two amounts differ" << amount.text()
                              << amountAgain.text();
        resultCode = -1;
        return false;
    }
    const TerminalRequest request{serverAddress, amount, date, time, operatorId, functionCodes, description, schema,
                                  {},            function};
    TerminalAnswer answer;
    try {
        answer = Wst00001::paymentTerminal().authorise(request);
    } catch (const std::exception& e) {
        qCWarning(lcTerminal) << "card transaction failed:" << e.what();
        resultCode = -1;
        return false;
    }
    resultCode = answer.resultCode;
    if (!answer.approved) {
        qCInfo(lcTerminal) << "card transaction not approved:" << answer.resultCode << answer.text;
        return false;
    }
    keepTefReceipt(answer.nsu, answer.customerReceipt);
    nsuHost = answer.nsu;
    authorisation = answer.authorisation;
    cardNumber = CardNumberMask::mask(answer.cardNumber);
    bankCode = answer.bankCode;
    network = answer.network;
    return true;
}

double dataMoviFiscal(const QString&)
{
    const QString configured = HostConfig::instance().printer().fiscalDate;
    if (!configured.isEmpty()) {
        const QDate date = QDate::fromString(configured, Qt::ISODate);
        if (!date.isValid())
            throw KioskError(QStringLiteral("Data fiscal configurada inválida: \"%1\"").arg(configured));
        return DateTimeValue::fromDate(date);
    }
    return DateTimeValue::fromDate(Clock::instance().now().date());
}

QString counterText(qint64 n)
{
    return QStringLiteral("%1").arg(n, 6, 10, QLatin1Char('0'));
}

void comprCredPessoal(const QString& port, const QString&, const QString&, const QString& branch, const QString& till,
                      const QString&, QString& coo, QString& gnf, ClientDataSet* movement, Money balanceBefore,
                      const QString& consumerName, const QString& depositNumber, const QString&, const QString&,
                      const QString&, const QString& productPrinterPort, qint32, const QString&,
                      const QString& tillName, const QString& branchAddress, const QString&,
                      const QString& municipalRegistration, const QString&, const QString&, bool usesFiscalPrinter,
                      qint32, qint32)
{
    const Wst00001::ReceiptExtras extras = Wst00001::takeReceiptExtras();
    Wst00001::ReceiptDelivery::receiptStarted();
    if (!movement || !movement->active() || movement->isEmpty())
        throw KioskError(QStringLiteral("Comprovante não impresso: não há movimento de caixa para imprimir"));
    const QString portName = Wst00001::receiptPort(port, productPrinterPort, usesFiscalPrinter);
    CreditReceipt receipt;
    receipt.takeMovement(*movement);
    // Until its first byte goes out, nothing of this receipt is in the consumer's hands.
    Wst00001::ReceiptDelivery::noteReceipt(portName, receipt.nsu, false);
    const HostConfig& config = HostConfig::instance();
    const QString target = PrinterPort::resolve(portName, config.printer(), config.programFolder());

    receipt.branch = branch;
    receipt.branchAddress = branchAddress;
    receipt.municipalRegistration = municipalRegistration;
    receipt.till = till;
    receipt.tillName = tillName;
    receipt.consumerName = consumerName;
    receipt.family = extras.familyName.trimmed();
    receipt.balanceBefore = balanceBefore;
    receipt.depositNumber = depositNumber;

    // The numbers are taken (and kept on disk) before printing: a crash may leave a gap, never a repeat.
    CouponCounters counters(CouponCounters::defaultFile());
    CouponCounters::Values previous;
    // The kiosk records its coupons with no printer serial.
    const CouponCounters::Values reserved = counters.advance(portName, {branch, till, QString()}, &previous);
    receipt.coo = counterText(reserved.coo);
    receipt.gnf = counterText(reserved.gnf);
    qint64 sent = 0;
    try {
        PrinterPort::send(target, receipt.text(), config.printer().timeoutMs, &sent);
    } catch (const KioskError& e) {
        Wst00001::ReceiptDelivery::noteReceipt(portName, receipt.nsu, sent > 0);
        // A receipt cut short may be in the consumer's hands with these numbers: they stay used.
        if (sent == 0)
            counters.giveBack(portName, reserved, previous);
        throw KioskError(QStringLiteral("Comprovante não impresso. %1").arg(e.message()));
    }
    Wst00001::ReceiptDelivery::noteReceipt(portName, receipt.nsu, true);
    coo = receipt.coo;
    gnf = receipt.gnf;
}
void printSlip(const QString& port, const CancellationSlip& slip)
{
    // The consumer holds no receipt of a purchase whose receipt never reached the printer.
    if (Wst00001::ReceiptDelivery::neverReachedPrinter(port, slip.nsu)) {
        qCInfo(lcPrinting) << "no cancellation slip for NSU" << slip.nsu << ": its receipt never reached" << port;
        return;
    }
    const HostConfig& config = HostConfig::instance();
    const QString target = PrinterPort::resolve(port, config.printer(), config.programFolder());
    try {
        PrinterPort::send(target, slip.text(), config.printer().timeoutMs);
    } catch (const KioskError& e) {
        throw KioskError(QStringLiteral("Comprovante de cancelamento não impresso. %1").arg(e.message()));
    }
    qCInfo(lcPrinting) << "cancellation slip printed for NSU" << slip.nsu << "on" << port;
}
void printTef(const QString& port, const QString& nsu)
{
    QString text;
    {
        const QMutexLocker locker(&extrasLock);
        if (tefReceipt.nsu == nsu)
            text = std::exchange(tefReceipt, {}).text;
    }
    if (text.trimmed().isEmpty()) {
        qCInfo(lcPrinting) << "no card payment receipt to print for NSU" << nsu;
        return;
    }
    if (!text.endsWith(QLatin1Char('\n')))
        text += QLatin1Char('\n');
    const HostConfig& config = HostConfig::instance();
    const QString target = PrinterPort::resolve(port, config.printer(), config.programFolder());
    try {
        PrinterPort::send(target, text, config.printer().timeoutMs);
    } catch (const KioskError& e) {
        throw KioskError(QStringLiteral("Comprovante TEF não impresso. %1").arg(e.message()));
    }
    qCInfo(lcPrinting) << "card payment receipt printed for NSU" << nsu << "on" << port;
}
} // namespace

namespace Wst00001
{

void setCardFunction(int function)
{
    const QMutexLocker locker(&extrasLock);
    cardFunction = function;
}

void (*printTefReceipt)(const QString&, const QString&) = printTef;

QString receiptPort(const QString& port, const QString& productPrinterPort, bool usesFiscalPrinter)
{
    return usesFiscalPrinter || productPrinterPort.trimmed().isEmpty() ? port : productPrinterPort;
}

void (*printCancellationSlip)(const QString&, const CancellationSlip&) = printSlip;

void (*InstanciaFuncoes_Pgt00000)() = instanciaFuncoes;
decltype(CriaDedicado) CriaDedicado = criaDedicado;
void (*FinalizaFuncoes_Pgt00000)() = finalizaFuncoes;
double (*DataMoviFiscal)(const QString&) = dataMoviFiscal;
decltype(Compr_CredPessoal) Compr_CredPessoal = comprCredPessoal;

PaymentTerminal& paymentTerminal()
{
    if (!backend) {
        const HostConfig& config = HostConfig::instance();
        // One way to a card terminal: the card-payment library the configuration names (the
        // provider's, or our stand-in for the demo and the tests). A kiosk that names none
        // refuses every card transaction.
        if (config.terminal().usesLibrary())
            backend = std::make_shared<CliSiTefTerminal>(config.terminal());
        else
            backend = std::make_shared<UnconfiguredTerminal>();
        // Closed with the application, while its database layer is still there.
        qAddPostRoutine([] { backend.reset(); });
    }
    return *backend;
}

void setPaymentTerminal(std::shared_ptr<PaymentTerminal> terminal)
{
    backend = std::move(terminal);
}

void restoreDefaults()
{
    InstanciaFuncoes_Pgt00000 = instanciaFuncoes;
    CriaDedicado = criaDedicado;
    FinalizaFuncoes_Pgt00000 = finalizaFuncoes;
    DataMoviFiscal = dataMoviFiscal;
    Compr_CredPessoal = comprCredPessoal;
    printCancellationSlip = printSlip;
    printTefReceipt = printTef;
}

} // namespace Wst00001
