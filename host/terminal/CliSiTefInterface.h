#pragma once

// The C interface of the payment provider's client library (CliSiTef), as its
// developer documentation describes it: the entry points the kiosk calls, their
// return codes, the commands of the continue loop and the field types of the
// values it hands back. The kiosk's terminal (CliSiTefTerminal) and our own
// stand-in library (clisitef-standin) both build on this one header.
//
// Strings are NUL-terminated; an empty string is "not given".

extern "C" {
// Once per library load, before anything else: the SiTef server (name or dotted
// address), the store id (8 characters), the terminal id ("XXnnnnnn") and a
// reserved value that is always "0". 0 when configured.
typedef int (*ConfiguraIntSiTefInterativoFn)(char* ipSiTef, char* idLoja, char* idTerminal, char* reservado);
// Starts a function (2 debit, 3 credit, ...) for an amount ("12,34") within a fiscal
// document (coupon up to 20 characters, date AAAAMMDD, time HHMMSS). 10000: go on
// with ContinuaFuncaoSiTefInterativo; any other value ends the function.
typedef int (*IniciaFuncaoSiTefInterativoFn)(int funcao, char* valor, char* cupomFiscal, char* dataFiscal,
                                             char* horaFiscal, char* operador, char* paramAdic);
// One step of the dialogue: the library names a command (and a field type and the
// sizes of a field to collect) and the application answers it on the next call in
// `buffer` and `continua` (0 go on, 1 back, -1 interrupt). 10000: call again.
typedef int (*ContinuaFuncaoSiTefInterativoFn)(int* comando, long* tipoCampo, short* tamMinimo, short* tamMaximo,
                                               char* buffer, int tamBuffer, int continua);
// Confirms (1) or undoes (0) every payment of the fiscal document (coupon, date).
typedef void (*FinalizaFuncaoSiTefInterativoFn)(short confirma, char* cupomFiscal, char* dataFiscal,
                                                 char* horaFiscal, char* paramAdic);
// How many payments of a fiscal document wait for FinalizaFuncaoSiTefInterativo;
// -13 when the library does not know the document. The date comes first here.
typedef int (*ObtemQuantidadeTransacoesPendentesFn)(char* dataFiscal, char* cupomFiscal);
}

namespace CliSiTef
{
// Entry point names, as exported by the library.
inline constexpr const char* configureName = "ConfiguraIntSiTefInterativo";
inline constexpr const char* startName = "IniciaFuncaoSiTefInterativo";
inline constexpr const char* continueName = "ContinuaFuncaoSiTefInterativo";
inline constexpr const char* finishName = "FinalizaFuncaoSiTefInterativo";
inline constexpr const char* pendingName = "ObtemQuantidadeTransacoesPendentes";

// The buffer of the continue loop must hold at least this much.
inline constexpr int bufferSize = 20000;

// Return codes of the start, the continue loop and the queries.
namespace Result
{
inline constexpr int ok = 0;
inline constexpr int callAgain = 10000;
inline constexpr int notConfigured = -1;
inline constexpr int cancelledByOperator = -2;
inline constexpr int invalidFunction = -3;
inline constexpr int noMemory = -4;
inline constexpr int noCommunication = -5;
inline constexpr int cancelledByCardHolder = -6;
inline constexpr int noIterativeFunction = -9;
inline constexpr int missingParameter = -10;
inline constexpr int previousNotFinished = -12;
inline constexpr int documentNotFound = -13;
inline constexpr int cancelledByApplication = -15;
inline constexpr int invalidParameter = -20;
} // namespace Result

// What the application answers in `continua`.
namespace Answer
{
inline constexpr int goOn = 0;
inline constexpr int back = 1;
inline constexpr int interrupt = -1;
} // namespace Answer

// Commands of the continue loop.
namespace Command
{
inline constexpr int value = 0;            // a value of the transaction, its kind in tipoCampo
inline constexpr int operatorMessage = 1;  // text for the operator's display
inline constexpr int customerMessage = 2;  // text for the customer's display
inline constexpr int bothMessage = 3;      // text for both displays
inline constexpr int menuTitle = 4;        // title of the next menu
inline constexpr int clearOperator = 11;   // remove the text of command 1
inline constexpr int clearCustomer = 12;   // remove the text of command 2
inline constexpr int clearBoth = 13;       // remove the text of command 3
inline constexpr int clearMenuTitle = 14;  // forget the menu title
inline constexpr int header = 15;          // extra information to show
inline constexpr int clearHeader = 16;     // remove it
inline constexpr int yesNo = 20;           // question; answer "0" yes, "1" no
inline constexpr int menu = 21;            // "1:text;2:text;..."; answer the chosen index
inline constexpr int pressKey = 22;        // show the text, wait for a key
inline constexpr int abortCheck = 23;      // waiting on the card or the PIN: interrupt now (-1) or go on (0)
inline constexpr int silentField = 29;     // a value the application supplies without asking anyone
inline constexpr int field = 30;           // collect a field of tamMinimo..tamMaximo characters
inline constexpr int chequeField = 31;     // cheque number (read or typed)
inline constexpr int chequeTyped = 32;     // cheque, typed
inline constexpr int secretField = 33;     // a field typed without echo
inline constexpr int amountField = 34;     // an amount with decimals
inline constexpr int barcodeField = 35;    // a bar code, read or typed
inline constexpr int maskedField = 41;     // like 30, the input masked
inline constexpr int identifiedMenu = 42;  // a menu like 21
inline constexpr int showQrCode = 50;      // a QR code to show (not blocking)
inline constexpr int clearQrCode = 51;     // remove it
inline constexpr int qrCodeFooter = 52;    // text under the QR code
} // namespace Command

// Field types (tipoCampo) of the values the loop hands back with command 0. Not every
// one comes with every transaction; unknown ones are ignored. The provider's table of
// field types could be read only in part: -1 to 2 and 100 are as it gives them; the
// numbers marked "unconfirmed" are the commonly used ones, not seen in that table, and
// must be checked against the provider's full table (in homologation) before going
// live. The kiosk reads them from here only, so a correction is one line.
namespace Field
{
inline constexpr long none = -1;
inline constexpr long authorising = 0;       // data collected, now asking the server
inline constexpr long confirmationData = 1;
inline constexpr long modality = 100;        // payment method "xxnn": group, sub-group
inline constexpr long transactionTime = 105; // AAAAMMDDhhmmss; unconfirmed
inline constexpr long customerReceipt = 121; // the customer's copy; unconfirmed
inline constexpr long storeReceipt = 122;    // the establishment's copy; unconfirmed
inline constexpr long institution = 131;     // the institution's index (the store's bank); unconfirmed
inline constexpr long cardBrand = 132;       // unconfirmed
inline constexpr long nsuSiTef = 133;        // unconfirmed
inline constexpr long nsuHost = 134;         // unconfirmed
inline constexpr long authorisation = 135;   // unconfirmed
inline constexpr long cardBin = 136;         // unconfirmed
inline constexpr long institutionName = 156; // unconfirmed
inline constexpr long networkCode = 158;     // unconfirmed
inline constexpr long qrCode = 584;
} // namespace Field

// Function codes of the start, as the provider's table of functions gives them.
namespace Function
{
inline constexpr int payment = 0; // the library asks how to pay
inline constexpr int debit = 2;   // debit card sale
inline constexpr int credit = 3;  // credit card sale
} // namespace Function
} // namespace CliSiTef
