#include "CliSiTefTerminal.h"

#include "CardNumberMask.h"
#include "CliSiTefDialogue.h"
#include "CliSiTefLibrary.h"
#include "Clock.h"
#include "HostConfig.h"
#include "TerminalLogging.h"

#include <QFile>
#include <QRegularExpression>
#include <cmath>

namespace
{
using namespace CliSiTef;

// Why the library ended a function, for the log and the kiosk's failure text.
QString reasonFor(int result)
{
    switch (result) {
    case Result::notConfigured:
        return QStringLiteral("biblioteca de pagamento não configurada");
    case Result::cancelledByOperator:
    case Result::cancelledByApplication:
        return QStringLiteral("Operação cancelada");
    case Result::cancelledByCardHolder:
        return QStringLiteral("Operação cancelada no pinpad");
    case Result::noCommunication:
        return QStringLiteral("Sem comunicação com o servidor de pagamento");
    case Result::invalidFunction:
    case Result::invalidParameter:
    case Result::missingParameter:
        return QStringLiteral("Parâmetro inválido para a biblioteca de pagamento");
    case Result::previousNotFinished:
        return QStringLiteral("A transação anterior não foi concluída");
    default:
        return result > 0 ? QStringLiteral("Transação negada") : QStringLiteral("Falha na biblioteca de pagamento");
    }
}

// The settings' ids as the library requires them; empty when they are fit.
QString checkIds(const TerminalSettings& s)
{
    if (s.store.size() != 8 || s.store.trimmed().size() != 8)
        return QStringLiteral("the store id \"%1\" ([terminal] store, KIOSK_SITEF_STORE) is not 8 characters")
            .arg(s.store);
    static const QRegularExpression format(QStringLiteral("^[A-Za-z]{2}([0-9]{6})$"));
    const QRegularExpressionMatch m = format.match(s.terminalId);
    if (!m.hasMatch())
        return QStringLiteral("the terminal id \"%1\" ([terminal] terminal, KIOSK_SITEF_TERMINAL) is not two "
                              "letters and six digits")
            .arg(s.terminalId);
    const int number = m.captured(1).toInt();
    if (number >= 900 && number <= 999)
        return QStringLiteral("the terminal id \"%1\" falls in 000900-000999, kept for the payment server")
            .arg(s.terminalId);
    return QString();
}

// The library hands out no card number of its own; the customer's receipt prints it
// masked ("411111******1111", "************1111"): the first such number there, masked
// again the kiosk's way. Empty when the receipt shows none.
QString maskedCardIn(const QString& receipt)
{
    static const QRegularExpression masked(QStringLiteral("(?<![0-9*])[0-9]{0,6}[*Xx]{2,}[0-9]{4}(?![0-9*])"));
    const QRegularExpressionMatch m = masked.match(receipt);
    return m.hasMatch() ? CardNumberMask::mask(m.captured(0)) : QString();
}

QByteArray bytes(const QString& s)
{
    return s.toLatin1();
}

TerminalState stateOf(FiscalDocumentMap::State s)
{
    switch (s) {
    case FiscalDocumentMap::State::Confirmed:
        return TerminalState::Confirmed;
    case FiscalDocumentMap::State::Undone:
        return TerminalState::Undone;
    case FiscalDocumentMap::State::Declined:
        return TerminalState::Declined;
    default:
        return TerminalState::Pending;
    }
}
} // namespace

CliSiTefTerminal::CliSiTefTerminal(TerminalSettings settings, QString documents, QString storeReceipts)
    : m_settings(std::move(settings)), m_documents(std::move(documents)), m_storeReceipts(std::move(storeReceipts))
{
    m_failure = checkIds(m_settings);
    if (m_failure.isEmpty()) {
        try {
            m_library = CliSiTefLibrary::open(m_settings.library);
        } catch (const TerminalError& e) {
            m_failure = e.message();
        }
    }
    if (!m_failure.isEmpty())
        qCCritical(lcTerminal).noquote() << "card payments refused:" << m_failure;
}

CliSiTefTerminal::~CliSiTefTerminal() = default;

QString CliSiTefTerminal::defaultStoreReceipts()
{
    return HostConfig::instance().programFolder() + QStringLiteral("/tef-store-receipts.txt");
}

QString CliSiTefTerminal::description() const
{
    return QStringLiteral("CliSiTef library %1, store %2, terminal %3")
        .arg(m_settings.library, m_settings.store, m_settings.terminalId);
}

int CliSiTefTerminal::functionFor(const TerminalRequest& request)
{
    // The card type the consumer chose sets it; the function-code list only restricts
    // the payment methods the library may offer.
    return request.function != 0 ? request.function : Function::payment;
}

QByteArray CliSiTefTerminal::amountText(Money amount)
{
    return amount.text(QLatin1Char(',')).toLatin1();
}

std::shared_ptr<CliSiTefLibrary> CliSiTefTerminal::usable() const
{
    if (!m_library)
        throw TerminalError(m_failure);
    return m_library;
}

TerminalAnswer CliSiTefTerminal::authorise(const TerminalRequest& request)
{
    TerminalAnswer answer;
    answer.resultCode = Result::notConfigured;
    if (!m_library) {
        answer.text = m_failure;
        return answer;
    }
    if (request.amount <= Money() || !request.amount.fitsStore()) {
        answer.resultCode = Result::invalidParameter;
        answer.text = QStringLiteral("Valor inválido");
        return answer;
    }
    std::lock_guard guard(m_library->lock());
    FiscalDocument document = request.document;
    if (document.date.isEmpty())
        document.date = request.date;
    if (document.time.isEmpty())
        document.time = request.time;
    try {
        m_library->configure(request.serverAddress, m_settings.store, m_settings.terminalId);
        // Written before the library hears of it: a crash from here on leaves a document to settle.
        document = m_documents.start(document, request.serverAddress, request.amount);
    } catch (const KioskError& e) {
        answer.text = e.message();
        qCWarning(lcTerminal).noquote() << "card transaction not started:" << answer.text;
        return answer;
    }
    answer.document = document;

    QByteArray value = amountText(request.amount), coupon = bytes(document.coupon), date = bytes(document.date),
               time = bytes(document.time), operatorId = bytes(request.operatorId),
               restrictions = bytes(request.functionCodes);
    const int function = functionFor(request);
    const int started = m_library->inicia(function, value.data(), coupon.data(), date.data(), time.data(),
                                          operatorId.data(), restrictions.data());
    CliSiTefDialogue dialogue(
        *m_library, [this](const QString& text) { display(text); }, prompter());
    const int result = dialogue.run(started);
    const auto& values = dialogue.values();
    answer.resultCode = result;
    if (result != Result::ok) {
        answer.text = dialogue.lastMessage().isEmpty() || result < 0 ? reasonFor(result) : dialogue.lastMessage();
        m_documents.end(document, FiscalDocumentMap::State::Declined);
        qCInfo(lcTerminal).noquote() << "card transaction of document" << document.coupon << "ended with" << result
                                     << answer.text;
        return answer;
    }
    answer.nsu = values.value(Field::nsuHost);
    answer.nsuSiTef = values.value(Field::nsuSiTef);
    if (answer.nsu.isEmpty())
        answer.nsu = answer.nsuSiTef;
    if (answer.nsu.isEmpty()) {
        // Nothing could ever settle it by NSU: undo it now rather than leave a charge unnamed.
        QByteArray none;
        m_library->finaliza(0, coupon.data(), date.data(), time.data(), none.data());
        m_documents.end(document, FiscalDocumentMap::State::Undone);
        answer.resultCode = Result::invalidParameter;
        answer.text = QStringLiteral("Transação aprovada sem número (NSU); desfeita");
        qCWarning(lcTerminal) << "card transaction of document" << document.coupon << "approved without an NSU: undone";
        return answer;
    }
    m_documents.approve(document, answer.nsu);
    answer.approved = true;
    answer.authorisation = values.value(Field::authorisation);
    answer.bankCode = values.value(Field::institution);
    answer.network = values.value(Field::cardBrand, values.value(Field::networkCode));
    answer.customerReceipt = values.value(Field::customerReceipt);
    answer.cardNumber = maskedCardIn(answer.customerReceipt);
    answer.storeReceipt = values.value(Field::storeReceipt);
    keepStoreReceipt(answer);
    qCInfo(lcTerminal) << "card transaction" << answer.nsu << "approved, pending, document" << document.coupon
                       << document.date;
    return answer;
}

void CliSiTefTerminal::keepStoreReceipt(const TerminalAnswer& answer) const
{
    if (answer.storeReceipt.isEmpty())
        return;
    QFile file(m_storeReceipts);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append)) {
        qCWarning(lcTerminal) << m_storeReceipts << ": the store's receipt of" << answer.nsu
                              << "could not be kept:" << file.errorString();
        return;
    }
    const QString text = QStringLiteral("--- NSU %1, document %2 of %3 %4\n%5%6")
                             .arg(answer.nsu, answer.document.coupon, answer.document.date, answer.document.time,
                                  answer.storeReceipt,
                                  answer.storeReceipt.endsWith(QLatin1Char('\n')) ? QString() : QStringLiteral("\n"));
    file.write(text.toUtf8());
    file.flush();
}

void CliSiTefTerminal::finish(const QString& nsu, bool confirm)
{
    const std::optional<FiscalDocumentMap::Entry> entry = m_documents.byNsu(nsu);
    if (!entry)
        throw TerminalError(QStringLiteral("Transação %1 desconhecida").arg(nsu));
    const TerminalState wanted = confirm ? TerminalState::Confirmed : TerminalState::Undone;
    const TerminalState now = stateOf(entry->state);
    if (now == wanted)
        return; // a repeated confirm or undo changes nothing
    if (now != TerminalState::Pending)
        throw TerminalError(QStringLiteral("Transação %1 já está %2; não pode ficar %3")
                                .arg(nsu, terminalStateName(now), terminalStateName(wanted)));
    const std::shared_ptr<CliSiTefLibrary> library = usable();
    std::lock_guard guard(library->lock());
    library->configure(entry->server, m_settings.store, m_settings.terminalId);
    QByteArray coupon = bytes(entry->document.coupon), date = bytes(entry->document.date),
               time = bytes(entry->document.time), none;
    // The library answers nothing: it keeps what it could not send and sends it later.
    library->finaliza(confirm ? 1 : 0, coupon.data(), date.data(), time.data(), none.data());
    m_documents.end(entry->document, confirm ? FiscalDocumentMap::State::Confirmed : FiscalDocumentMap::State::Undone);
    qCInfo(lcTerminal) << "card transaction" << nsu << (confirm ? "confirmed" : "undone") << "(document"
                       << entry->document.coupon << entry->document.date << ")";
}

void CliSiTefTerminal::confirm(const QString& nsu)
{
    finish(nsu, true);
}

void CliSiTefTerminal::undo(const QString& nsu)
{
    finish(nsu, false);
}

std::optional<TerminalState> CliSiTefTerminal::status(const QString& nsu)
{
    const std::optional<FiscalDocumentMap::Entry> entry = m_documents.byNsu(nsu);
    if (!entry)
        return std::nullopt;
    if (entry->state != FiscalDocumentMap::State::Approved)
        return stateOf(entry->state);
    if (!m_library)
        return std::nullopt;
    std::lock_guard guard(m_library->lock());
    try {
        m_library->configure(entry->server, m_settings.store, m_settings.terminalId);
    } catch (const TerminalError&) {
        return std::nullopt;
    }
    QByteArray date = bytes(entry->document.date), coupon = bytes(entry->document.coupon);
    // Nothing pending there: the library ended it on its own; it cannot say how.
    return m_library->pendentes(date.data(), coupon.data()) > 0 ? std::optional(TerminalState::Pending)
                                                                  : std::nullopt;
}

QList<PendingTransaction> CliSiTefTerminal::pending()
{
    const std::shared_ptr<CliSiTefLibrary> library = usable();
    std::lock_guard guard(library->lock());
    QList<PendingTransaction> list;
    for (const FiscalDocumentMap::Entry& e : m_documents.open()) {
        library->configure(e.server, m_settings.store, m_settings.terminalId);
        QByteArray date = bytes(e.document.date), coupon = bytes(e.document.coupon), time = bytes(e.document.time),
                   none;
        const int count = library->pendentes(date.data(), coupon.data());
        if (count < 0 && count != Result::documentNotFound)
            throw TerminalError(QStringLiteral("the card-payment library cannot say what document %1 of %2 holds: "
                                               "code %3")
                                    .arg(e.document.coupon, e.document.date)
                                    .arg(count));
        if (e.state == FiscalDocumentMap::State::Approved) {
            if (count > 0)
                list.append({e.nsu, e.amount, e.changedAt});
            continue;
        }
        if (!FiscalDocumentMap::abandoned(e))
            continue; // another program's sale, still running
        // Started, never approved here (the kiosk stopped mid-sale): no purchase can hold
        // it, as none is recorded without an NSU. Whatever the library kept is undone.
        if (count > 0) {
            library->finaliza(0, coupon.data(), date.data(), time.data(), none.data());
            m_documents.end(e.document, FiscalDocumentMap::State::Undone);
            qCWarning(lcTerminal) << "document" << e.document.coupon << e.document.date
                                  << "was left mid-sale with a pending payment: undone";
        } else {
            m_documents.end(e.document, FiscalDocumentMap::State::Declined);
        }
    }
    return list;
}
