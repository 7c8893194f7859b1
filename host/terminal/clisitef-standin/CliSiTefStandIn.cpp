// Our own library with the CliSiTef C interface, for the demo and the tests: the kiosk
// loads it through the same dlopen path as the payment provider's library. It answers as
// the kiosk's [terminal] settings say (approve, decline, no communication, the card
// holder's time; it runs in the kiosk's process), keeps its transactions in a durable
// file keyed by fiscal document (StandInTransactions), and asks the prompts of its
// configured script first. It never hands out a card number unmasked.

#include "CardNumberMask.h"
#include "CliSiTefInterface.h"
#include "EventPause.h"
#include "HostConfig.h"
#include "StandInScript.h"
#include "StandInTransactions.h"
#include "TerminalLogging.h"
#include "TerminalTransactionsFile.h"

#include <QCoreApplication>
#include <QRegularExpression>
#include <QThread>
#include <cstring>
#include <deque>
#include <mutex>
#include <optional>
#include <stdexcept>

#define STANDIN_EXPORT extern "C" __attribute__((visibility("default")))

namespace
{
using namespace CliSiTef;

// What the stand-in answers when its own files fail it.
constexpr int internalError = -100;

// Longest a wait goes without offering the application an abort check.
constexpr int checkEveryMs = 100;

struct Sale {
    int function = Function::payment;
    Money amount;
    FiscalDocument document;
    QString operatorId;
    std::deque<StandInStep> steps;
    std::optional<StandInStep> asked; // the step whose answer the next call brings
    int end = Result::ok;             // the code once the steps are done
};

std::mutex lock;
bool configured = false;
QString server;
std::optional<Sale> sale;
// What the application answered to the last sale's questions, in order ("-1": interrupted).
// Kept in memory for the tests only, never logged: a field may be a secret.
QStringList received;

QString text(const char* s)
{
    return s ? QString::fromUtf8(s) : QString();
}

StandInTransactions transactionsFile()
{
    return StandInTransactions(HostConfig::instance().terminal(), TerminalTransactionsFile::defaultFile());
}

// Waits the card holder's time: on the kiosk's own thread with its events flowing, on a
// worker thread plainly.
void pause(int ms)
{
    if (ms <= 0)
        return;
    if (QCoreApplication::instance() && QThread::currentThread() == QCoreApplication::instance()->thread())
        EventPause::forMs(ms);
    else
        QThread::msleep(ulong(ms));
}

// What the stand-in shows the consumer, in the kiosk's language as a provider's library
// in that language would.
QString says(const char* text)
{
    return QCoreApplication::translate("StandInLibrary", text);
}
// The answers of its transactions file, marked for translation here.
[[maybe_unused]] const char* const answerTexts[] = {QT_TRANSLATE_NOOP("StandInLibrary", "Transação negada"),
                                                    QT_TRANSLATE_NOOP("StandInLibrary", "Valor inválido")};

StandInStep step(int command, const QString& text, long type = Field::none)
{
    StandInStep s;
    s.command = command;
    s.text = text;
    s.type = type;
    return s;
}

// A wait of `ms`, offered as abort checks no more than checkEveryMs apart.
void addWait(std::deque<StandInStep>& steps, int ms)
{
    do {
        StandInStep s = step(Command::abortCheck, QString());
        s.kind = StandInStep::Kind::Wait;
        s.waitMs = std::min(ms, checkEveryMs);
        steps.push_back(s);
        ms -= s.waitMs;
    } while (ms > 0);
}

std::optional<Money> amountOf(const QString& valor)
{
    static const QRegularExpression format(QStringLiteral("^[0-9]{1,13},[0-9]{2}$"));
    if (!format.match(valor).hasMatch())
        return std::nullopt;
    return Money::parse(valor, QLatin1Char(','));
}

QString receipt(const char* copy, const Sale& s, const TerminalAnswer& a, const QString& card)
{
    return QStringLiteral("SIMULADOR TEF - %1\n%2\nCARTAO %3\nVALOR R$ %4\nNSU %5 AUT %6\nDOC %7 %8 %9\n")
        .arg(QString::fromLatin1(copy), s.function == Function::debit ? QStringLiteral("DEBITO A VISTA")
                                                                      : QStringLiteral("CREDITO A VISTA"),
             card, s.amount.text(QLatin1Char(',')),
             a.nsu, a.authorisation, s.document.coupon, s.document.date, s.document.time);
}

// Authorises on the transactions file and queues what the library hands back.
void authorise(Sale& s)
{
    const TerminalSettings& settings = HostConfig::instance().terminal();
    TerminalRequest request;
    request.amount = s.amount;
    request.date = s.document.date;
    request.time = s.document.time;
    request.operatorId = s.operatorId;
    request.document = s.document;
    request.description = QStringLiteral("documento %1 de %2").arg(s.document.coupon, s.document.date);
    const TerminalAnswer a = transactionsFile().authorise(request);
    if (!a.approved) {
        s.end = a.resultCode == 5 ? 5 : Result::noCommunication;
        s.steps.push_back(step(Command::bothMessage, a.resultCode == 5 ? says(a.text.toUtf8().constData()) : a.text));
        return;
    }
    const QString card = CardNumberMask::mask(settings.cardNumber);
    const QString nsuSiTef = a.nsu.right(6);
    s.steps.push_back(step(Command::value, a.nsu, Field::nsuHost));
    s.steps.push_back(step(Command::value, nsuSiTef, Field::nsuSiTef));
    s.steps.push_back(step(Command::value, a.authorisation, Field::authorisation));
    if (!a.bankCode.isEmpty())
        s.steps.push_back(step(Command::value, a.bankCode, Field::institution));
    s.steps.push_back(step(Command::value, a.network, Field::cardBrand));
    s.steps.push_back(step(Command::value, receipt("VIA CLIENTE", s, a, card), Field::customerReceipt));
    s.steps.push_back(step(Command::value, receipt("VIA ESTABELECIMENTO", s, a, card), Field::storeReceipt));
    s.steps.push_back(step(Command::bothMessage, says(QT_TRANSLATE_NOOP("StandInLibrary", "Transação aprovada"))));
    s.end = Result::ok;
}

int fill(const StandInStep& s, int* comando, long* tipoCampo, short* tamMinimo, short* tamMaximo, char* buffer,
         int tamBuffer)
{
    *comando = s.command;
    *tipoCampo = s.type;
    *tamMinimo = short(s.min);
    *tamMaximo = short(s.max);
    const QByteArray bytes = s.text.toUtf8();
    const int n = std::min(int(bytes.size()), tamBuffer - 1);
    std::memcpy(buffer, bytes.constData(), size_t(n));
    buffer[n] = '\0';
    return Result::callAgain;
}

bool asks(int command)
{
    return command == Command::yesNo || command == Command::menu || command == Command::pressKey ||
           command == Command::silentField || (command >= Command::field && command <= Command::barcodeField);
}

// The answer to the step asked last; false when the step must be asked again.
bool accept(Sale& s, const StandInStep& asked, const QString& answer)
{
    switch (asked.command) {
    case Command::yesNo:
        if (answer.startsWith(QLatin1Char('1'))) { // "no" gives the sale up
            s.end = Result::cancelledByOperator;
            s.steps.clear();
        }
        return answer.startsWith(QLatin1Char('0')) || answer.startsWith(QLatin1Char('1'));
    case Command::menu: {
        bool ok = false;
        const int chosen = answer.toInt(&ok);
        const int options = int(asked.text.count(QLatin1Char(';'))) + 1;
        if (!ok || chosen < 1 || chosen > options)
            return false;
        if (asked.type == 1) // the payment menu of function 0
            s.function = chosen == 1 ? Function::credit : Function::debit;
        return true;
    }
    case Command::pressKey:
        return true;
    default: // the fields
        return answer.size() >= asked.min && answer.size() <= asked.max;
    }
}
} // namespace

STANDIN_EXPORT int ConfiguraIntSiTefInterativo(char* ipSiTef, char* idLoja, char* idTerminal, char* reservado)
{
    std::lock_guard guard(lock);
    if (!ipSiTef || !idLoja || !idTerminal || !reservado || !*idLoja || !*idTerminal)
        return Result::missingParameter;
    server = text(ipSiTef);
    configured = true;
    return Result::ok;
}

STANDIN_EXPORT int IniciaFuncaoSiTefInterativo(int funcao, char* valor, char* cupomFiscal, char* dataFiscal,
                                               char* horaFiscal, char* operador, char* paramAdic)
{
    std::lock_guard guard(lock);
    if (!configured)
        return Result::notConfigured;
    if (sale) {
        sale.reset(); // the previous function was left mid-way; this start fails, the next one works
        return Result::previousNotFinished;
    }
    if (funcao != Function::payment && funcao != Function::debit && funcao != Function::credit)
        return Result::invalidFunction;
    if (!valor || !cupomFiscal || !dataFiscal || !horaFiscal || !operador || !paramAdic)
        return Result::missingParameter;
    received.clear();
    Sale s;
    s.function = funcao;
    s.document = {text(cupomFiscal), text(dataFiscal), text(horaFiscal)};
    s.operatorId = text(operador);
    const std::optional<Money> amount = amountOf(text(valor));
    static const QRegularExpression date(QStringLiteral("^[0-9]{8}$")), time(QStringLiteral("^[0-9]{6}$"));
    if (!amount || *amount <= Money() || s.document.coupon.isEmpty() || s.document.coupon.size() > 20 ||
        !date.match(s.document.date).hasMatch() || !time.match(s.document.time).hasMatch())
        return Result::invalidParameter;
    s.amount = *amount;
    const TerminalSettings& settings = HostConfig::instance().terminal();
    try {
        for (const StandInStep& p : StandInScript::parse(settings.script))
            s.steps.push_back(p);
    } catch (const std::invalid_argument& e) {
        qCWarning(lcTerminal) << e.what();
        return Result::invalidParameter;
    }
    if (funcao == Function::payment) {
        s.steps.push_back(step(Command::menuTitle, QStringLiteral("Forma de pagamento")));
        s.steps.push_back(step(Command::menu, QStringLiteral("1:Crédito;2:Débito"), 1));
        s.steps.push_back(step(Command::clearMenuTitle, QString()));
    }
    s.steps.push_back(step(Command::bothMessage, says(QT_TRANSLATE_NOOP("StandInLibrary", "Insira ou aproxime o cartão"))));
    addWait(s.steps, settings.delayMs / 2);
    s.steps.push_back(step(Command::bothMessage, says(QT_TRANSLATE_NOOP("StandInLibrary", "Digite a senha"))));
    addWait(s.steps, settings.delayMs - settings.delayMs / 2);
    s.steps.push_back(step(Command::value, QString(), Field::authorising));
    StandInStep authorisation;
    authorisation.kind = StandInStep::Kind::Authorise;
    s.steps.push_back(authorisation);
    sale = std::move(s);
    return Result::callAgain;
}

STANDIN_EXPORT int ContinuaFuncaoSiTefInterativo(int* comando, long* tipoCampo, short* tamMinimo, short* tamMaximo,
                                                 char* buffer, int tamBuffer, int continua)
{
    std::unique_lock guard(lock);
    if (!sale)
        return Result::noIterativeFunction;
    if (!comando || !tipoCampo || !tamMinimo || !tamMaximo || !buffer || tamBuffer < 2)
        return Result::missingParameter;
    Sale& s = *sale;
    if (continua == Answer::interrupt) {
        // Nothing was charged yet: the authorisation is the last step before the end.
        received << QStringLiteral("-1");
        sale.reset();
        return Result::cancelledByOperator;
    }
    if (s.asked) {
        const StandInStep asked = *s.asked;
        s.asked.reset();
        received << QString::fromUtf8(buffer);
        if (continua == Answer::back || !accept(s, asked, QString::fromUtf8(buffer)))
            s.steps.push_front(asked); // asked again
    }
    while (!s.steps.empty()) {
        StandInStep next = s.steps.front();
        s.steps.pop_front();
        if (next.kind == StandInStep::Kind::Authorise) {
            try {
                authorise(s);
            } catch (const std::exception& e) {
                // Nothing may leave a C function but its code.
                qCWarning(lcTerminal) << "stand-in library:" << e.what();
                sale.reset();
                return internalError;
            }
            continue;
        }
        if (next.kind == StandInStep::Kind::Wait) {
            // The sale's lock is not held while the card holder takes their time.
            guard.unlock();
            pause(next.waitMs);
            guard.lock();
            if (!sale)
                return Result::noIterativeFunction;
        }
        if (asks(next.command))
            sale->asked = next;
        return fill(next, comando, tipoCampo, tamMinimo, tamMaximo, buffer, tamBuffer);
    }
    const int end = s.end;
    sale.reset();
    return end;
}

STANDIN_EXPORT void FinalizaFuncaoSiTefInterativo(short confirma, char* cupomFiscal, char* dataFiscal,
                                                  char* horaFiscal, char* paramAdic)
{
    Q_UNUSED(horaFiscal)
    Q_UNUSED(paramAdic)
    std::lock_guard guard(lock);
    if (!configured || !cupomFiscal || !dataFiscal)
        return;
    try {
        StandInTransactions terminal = transactionsFile();
        for (const StandInTransactions::Transaction& t : terminal.ofDocument({text(cupomFiscal), text(dataFiscal), {}})) {
            if (t.state != TerminalState::Pending)
                continue;
            if (confirma == 1)
                terminal.confirm(t.nsu);
            else
                terminal.undo(t.nsu);
        }
    } catch (const std::exception& e) {
        qCWarning(lcTerminal) << "stand-in library:" << e.what();
    }
}

STANDIN_EXPORT int ObtemQuantidadeTransacoesPendentes(char* dataFiscal, char* cupomFiscal)
{
    std::lock_guard guard(lock);
    if (!configured)
        return Result::notConfigured;
    if (!dataFiscal || !cupomFiscal)
        return Result::missingParameter;
    QList<StandInTransactions::Transaction> list;
    try {
        list = transactionsFile().ofDocument({text(cupomFiscal), text(dataFiscal), {}});
    } catch (const std::exception& e) {
        qCWarning(lcTerminal) << "stand-in library:" << e.what();
        return internalError;
    }
    if (list.isEmpty())
        return Result::documentNotFound;
    return int(std::count_if(list.cbegin(), list.cend(),
                             [](const StandInTransactions::Transaction& t) { return t.state == TerminalState::Pending; }));
}

// Not part of the payment provider's interface: for the tests, what the application answered
// to the last sale's questions, '|'-separated, written into `buffer`; the text's length.
STANDIN_EXPORT int StandInAnswersReceived(char* buffer, int size)
{
    std::lock_guard guard(lock);
    const QByteArray text = received.join(QLatin1Char('|')).toUtf8();
    if (buffer && size > 0) {
        const int n = std::min(int(text.size()), size - 1);
        std::memcpy(buffer, text.constData(), size_t(n));
        buffer[n] = '\0';
    }
    return int(text.size());
}
