#include "CardPurchase.h"

#include "AmountText.h"
#include "CardNumberMask.h"
#include "CliSiTefInterface.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "Consiste.h"
#include "DateTimeValue.h"
#include "ExclusiveLock.h"
#include "FaultPoint.h"
#include "KioskError.h"
#include "Logging.h"
#include "PaidPurchase.h"
#include "ParametrosZel.h"
#include "PaymentTerminal.h"
#include "PurchaseJournal.h"
#include "PurchaseTexts.h"
#include "RecSaldoDataSets.h"
#include "ServerResult.h"
#include "Srv_kvb52814.h"
#include "StoreWorker.h"
#include "ReceiptExtras.h"
#include "Wst00001.h"

#include <QLocale>
#include <QThread>

namespace
{
const QString creditFilter = QStringLiteral("(CDFPIMPFIS <> '') AND (IDTIPORECE = '1')");
const QString debitFilter = QStringLiteral("(CDFPIMPFIS <> '') AND (IDTIPORECE = '2')");

QString shortDate(double days)
{
    return QLocale().toString(DateTimeValue::toDateTime(days).date(), QLocale::ShortFormat);
}

QString errorText(const std::exception& e)
{
    return QString::fromUtf8(e.what());
}
} // namespace

CardPurchase::CardPurchase(Context context, PurchaseOrder order, QString functionCodes, StoreWorker& worker,
                           QObject* parent)
    : QObject(parent), m_ctx(std::move(context)), m_order(std::move(order)),
      m_functionCodes(std::move(functionCodes)), m_worker(worker)
{
    qRegisterMetaType<CardPurchase::Result>();
    qRegisterMetaType<PurchaseState>();
    m_movCaixa.setFieldDefs(RecSaldoDataSets::movCaixaFields());
}

void CardPurchase::start()
{
    m_running = true;
    m_worker.run([this] {
        const Result result = run();
        StoreWorker::deliver(this, [this, result] {
            m_running = false;
            emit ended(result);
        });
    });
}

void CardPurchase::enter(PurchaseState state)
{
    // The journal refuses the same steps on disk; here they are refused before anything is done.
    if (!PurchaseStates::allowed(m_workerState, state)) {
        const QString text = QStringLiteral("purchase %1 cannot go from %2 to %3")
                                 .arg(m_id, PurchaseStates::name(m_workerState), PurchaseStates::name(state));
        qCCritical(lcScreen).noquote() << text;
        throw KioskError(text);
    }
    publish(state);
}

void CardPurchase::publish(PurchaseState state)
{
    m_workerState = state;
    StoreWorker::deliver(this, [this, state] {
        m_state = state;
        emit stateChanged(state);
    });
}

void CardPurchase::report(const QString& text)
{
    StoreWorker::deliver(this, [this, text] { emit progress(text); });
}

void CardPurchase::chooseReceiptType()
{
    // The working copy of the receipt-type configuration, on the first row of the card type.
    const bool credit = m_order.card == PurchaseOrder::Card::Credit;
    ClientDataSet& types = m_tipRecConf;
    types.setData(m_ctx.confTipoRece);
    types.open();
    types.setFiltered(false);
    types.setFilter(credit ? creditFilter : debitFilter);
    types.setFiltered(true);
    types.locate(QStringLiteral("IDTIPORECE"), credit ? QStringLiteral("1") : QStringLiteral("2"));
}

bool CardPurchase::chargeCard()
{
    const ParametrosZel& p = m_ctx.parametros;
    PaymentTerminal& terminal = Wst00001::paymentTerminal();
    // What the terminal's own display says is shown in the wait window while it waits; its
    // questions go to the purchase's prompter (the screen), for this transaction only.
    terminal.setDisplay([this](const QString& prompt) { report(prompt); });
    terminal.setPrompter(m_ctx.support.prompter);
    struct DisplayOff {
        PaymentTerminal& t;
        ~DisplayOff()
        {
            t.setDisplay({});
            t.setPrompter(nullptr);
        }
    } displayOff{terminal};

    // The terminal functions are released whatever the transaction's end.
    Wst00001::InstanciaFuncoes_Pgt00000();
    bool approved = false;
    try {
        const Money amount = m_order.amount;
        const QString date = Clock::instance().now().toString(QStringLiteral("yyyyMMdd"));
        const QString time = Clock::instance().now().toString(QStringLiteral("HHmmss"));
        const QString description = QStringLiteral("[Compra de Créd,00000000,1,") +
                                    m_order.amountText(AmountText::separator()) + QLatin1Char(']');
        const QString none;
        Wst00001::setCardFunction(m_order.card == PurchaseOrder::Card::Debit ? CliSiTef::Function::debit
                                                                             : CliSiTef::Function::credit);
        approved = Wst00001::CriaDedicado(m_out.nsu, m_out.authorisation, m_out.cardNumber, m_out.bankCode,
                                          m_out.network, m_out.result, p.DSENDIPSITEF, none, none, 0, 0, amount, 0,
                                          date, time, p.CDOPERADORLOGIN, m_functionCodes, 1, 0, amount,
                                          QStringLiteral("N"), p.IDESQUEMA, 0, description);
    } catch (...) {
        Wst00001::FinalizaFuncoes_Pgt00000();
        throw;
    }
    Wst00001::FinalizaFuncoes_Pgt00000();
    return approved;
}

void CardPurchase::fillPacket()
{
    // A packet of its own for every purchase: created empty, one record.
    const ParametrosZel& p = m_ctx.parametros;
    ClientDataSet& mov = m_movCaixa;
    ClientDataSet& types = m_tipRecConf;
    auto type = [&](const char* field) { return types.fieldByName(QString::fromLatin1(field)).asString(); };
    auto set = [&](const char* field) { return mov.fieldByName(QString::fromLatin1(field)); };
    const double now = DateTimeValue::fromDateTime(Clock::instance().now());

    mov.close();
    mov.createDataSet();
    mov.open();
    mov.insert();
    set("CDFILIAL").setAsString(p.CDFILIAL);
    set("IDTIPOMOVIVE").setAsString(QStringLiteral("E"));
    set("DTHRINCMOV").setAsDateTime(now);
    set("CDTIPORECE").setAsString(type("CDTIPORECE"));
    set("NMTIPORECE").setAsString(type("NMTIPORECE"));
    set("IDTIPORECE").setAsString(type("IDTIPORECE"));
    // The packet keeps its number (journals and packets of earlier versions load alike).
    set("VRMOVIVEND").setAsFloat(m_order.amount.units());
    set("CDTIPOTROCO").setAsString(QString());
    set("NRORDTROCO").setAsString(QString());
    set("CDCLIENTE").setAsString(p.CDCLIENTE);
    set("DTMOVIMCAIXA").setAsDateTime(set("DTHRINCMOV").asDateTime());
    set("DSIMPFISCAL").setAsString(type("DSIMPFISCAL"));
    set("CDFPIMPFIS").setAsString(type("CDFPIMPFIS"));
    // The terminal masks the number already; a full number must never reach the store.
    set("NRCARTBANCO").setAsString(CardNumberMask::mask(m_out.cardNumber));
    set("CDNSUHOSTTEF").setAsString(m_out.nsu);
    if (!Consiste::EmptyString(m_out.bankCode)) {
        set("CDBANCARTCR").setAsString(m_out.bankCode);
        set("CDTIPORECEORIG").setAsString(type("CDTIPORECE"));
        m_out.bankCode.clear();
        m_out.network.clear();
    }
    mov.post();
}

PurchaseRecord CardPurchase::orderRecord() const
{
    PurchaseRecord r;
    r.id = m_id;
    r.CDFILIAL = m_order.branch;
    r.CDCAIXA = m_order.till;
    r.CDCLIENTE = m_order.client;
    r.CDCONSUMIDOR = m_order.consumer;
    r.CDFAMILISALD = m_order.family;
    r.DTABERCAIX = m_ctx.parametros.DTABERCAIX;
    r.DTMOVIDOCNFIS = DateTimeValue::fromDateTime(Clock::instance().now());
    r.packet = DataPacket(RecSaldoDataSets::movCaixaFields());
    return r;
}

PurchaseRecord CardPurchase::journalRecord() const
{
    PurchaseRecord r = orderRecord();
    r.nsu = m_out.nsu;
    r.NRDEPOSICONS = m_depositNumber;
    r.NRCOODOCNFIS = m_coo;
    r.NRGNFDOCNFIS = m_gnf;
    r.receiptPort = m_receiptPort;
    // Until the fiscal date is known, the movement's own date stands for it.
    ClientDataSet& mov = const_cast<ClientDataSet&>(m_movCaixa);
    mov.first();
    r.DTMOVIDOCNFIS = m_fiscalDate != 0 ? m_fiscalDate : mov.fieldByName(QStringLiteral("DTMOVIMCAIXA")).asDateTime();
    r.packet = mov.data();
    return r;
}

Money CardPurchase::freshFamilyBalance() const
{
    // The receipt's balance after the credit starts from what the store holds now, not from
    // what the screen showed: another kiosk may have credited the consumer meanwhile.
    try {
        const QVariant answer = Srv_kvb52814::getSaldoCons(m_order.branch, m_order.client, m_order.consumer);
        if (PacketVariant::isPacket(answer)) {
            ClientDataSet balances(QStringLiteral("cdsSALDOCONS"));
            balances.setData(answer);
            if (balances.locate(QStringLiteral("CDFAMILISALD"), m_order.family))
                return Money::fromUnits(balances.fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat(),
                                        QStringLiteral("VRSALDCONFAM"));
        } else {
            qCWarning(lcScreen).noquote() << "balance before the receipt not read:" << answer.toString();
        }
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "balance before the receipt not read:" << errorText(e);
    }
    return m_order.balanceBefore;
}

void CardPurchase::printAndRecord(PaidPurchase& paid)
{
    const ParametrosZel& p = m_ctx.parametros;
    // The deposit number; the coupon counters start empty.
    m_depositNumber = Clock::instance().now().toString(QStringLiteral("yyMMddHHmm"));
    m_coo.clear();
    m_gnf.clear();
    m_fiscalDate = Wst00001::DataMoviFiscal(p.IDESQUEMA);

    // The credit receipt. From the moment it is sent the consumer may hold it, whole or in
    // part: an undo then owes a slip.
    const Money balanceBefore = freshFamilyBalance();
    m_receiptPort = Wst00001::receiptPort(p.CDPORTAIMPFIS, p.CDPORTIMPNF1, p.UTILIZAIMPFIS);
    const QString none;
    Wst00001::setReceiptExtras({m_order.familyName});
    m_printing = true;
    Wst00001::Compr_CredPessoal(p.CDPORTAIMPFIS, p.STTOTCOMPCRED, none, p.CDFILIAL, p.CDCAIXA, p.IDESQUEMA, m_coo,
                                m_gnf, &m_movCaixa, balanceBefore, m_order.consumerName, m_depositNumber,
                                p.IDIMPCOMPCREDPE, p.IDPAISINTEGRA, p.IDTIPOIMPNF1, p.CDPORTIMPNF1, 0, none, p.NMCAIXA,
                                p.DSENDEFILI, none, p.CDINSCMUNIFILI, none, none, p.UTILIZAIMPFIS, 0, 0);
    m_printing = false;
    paid.record() = journalRecord();
    paid.journalPrinted();
    enter(PurchaseState::Printed);
    FaultPoint::hit("after-printing");

    // The day's first coupon; the purchase does not depend on it.
    Srv_kvb52814::setGravaCupomInicial(p.CDFILIAL, p.CDCAIXA, m_coo, m_fiscalDate);
    report(QStringLiteral("Imprimindo comprovante TEF..."));
    // The card payment's own receipt, after ours and on the same printer. The card is
    // charged and our receipt is out: the purchase is recorded whether or not this prints.
    try {
        Wst00001::printTefReceipt(m_receiptPort, m_out.nsu);
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_out.nsu << ": card payment receipt not printed:" << errorText(e);
        m_tefReceiptFailed = true;
    }

    // The recording; the ledger, not its answer, then says whether the credit is there.
    const PurchaseRecord& r = paid.record();
    paid.recordingCalled();
    enter(PurchaseState::Recording);
    const QVariant result = Srv_kvb52814::setGravaCompCred(PacketVariant::of(r.packet), r.CDFILIAL, r.CDCAIXA,
                                                           p.CDCLIENTE, r.CDCONSUMIDOR, r.CDFAMILISALD, m_depositNumber,
                                                           m_coo, m_gnf, QString(), r.DTABERCAIX, m_fiscalDate);
    const QString d = QStringLiteral("Cli_Kvb52814-cdsMovCaixa.data-") + r.CDFILIAL + QLatin1Char('-') + r.CDCAIXA +
                      QLatin1Char('-') + p.CDCLIENTE + QLatin1Char('-');
    const QString l = QStringList{r.CDCONSUMIDOR, r.CDFAMILISALD, m_depositNumber,         m_coo,
                                  m_gnf,          QString(),      shortDate(r.DTABERCAIX), shortDate(m_fiscalDate)}
                          .join(QLatin1Char('-'));
    // A failure is logged with the call; the ledger, below, decides what the consumer is told.
    ServerResult::logFailure(result, QStringLiteral("setGravaCompCred"), d, l, p.IDESQUEMA);
    paid.settleFromLedger();
}

void CardPurchase::followJournal(PurchaseJournal& journal)
{
    // After the settlement the journal holds where the purchase ended; memory follows it.
    try {
        const auto entry = journal.findKey(m_id);
        if (entry && entry->state != m_workerState)
            publish(entry->state);
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_id << ": journal not read:" << errorText(e);
    }
}

namespace
{
CardPurchase::Result ending(CardPurchase::End end, const QString& notice)
{
    CardPurchase::Result r;
    r.end = end;
    r.notice = notice;
    return r;
}
} // namespace

CardPurchase::Result CardPurchase::run()
{
    Result result = runSteps();
    result.outputs = m_out;
    result.movCaixa = m_movCaixa.active() ? m_movCaixa.data() : DataPacket();
    return result;
}

CardPurchase::Result CardPurchase::runSteps()
{
    std::unique_ptr<PurchaseJournal> journal;
    std::unique_ptr<ExclusiveLock> lock;
    // The order goes into the journal, and this kiosk takes the purchase's lock, before the
    // terminal is asked: a kiosk that dies at any later point leaves a trace the next
    // settlement follows to the terminal, and no other settler touches it meanwhile.
    try {
        chooseReceiptType();
        m_id = PurchaseRecord::newId();
        journal = std::make_unique<PurchaseJournal>(m_ctx.support.journalFile.isEmpty() ? PurchaseJournal::defaultFile()
                                                                                        : m_ctx.support.journalFile);
        lock = std::make_unique<ExclusiveLock>(journal->lockFile(orderRecord()));
        lock->tryLock();
        journal->write(orderRecord(), PurchaseState::Ordered, QStringLiteral("ordered"));
        FaultPoint::hit("after-order");
        journal->write(orderRecord(), PurchaseState::Charging, QStringLiteral("terminal asked"));
        enter(PurchaseState::Charging);
    } catch (const std::exception& e) {
        qCCritical(lcScreen).noquote() << "purchase not started, the terminal was not asked:" << errorText(e);
        return ending(End::Failed, PurchaseTexts::notStarted());
    }
    // However it ends, a purchase the journal holds as finished gives its lock file up.
    struct LockRelease {
        PurchaseJournal& journal;
        ExclusiveLock& lock;
        QString key;
        ~LockRelease()
        {
            try {
                const auto entry = journal.findKey(key);
                if (entry && entry->finished())
                    lock.removeAndUnlock();
            } catch (const std::exception&) {
            }
        }
    } release{*journal, *lock, orderRecord().key()};
    auto notCharged = [&](const QString& why) {
        try {
            journal->write(orderRecord(), PurchaseState::Declined, why);
            enter(PurchaseState::Declined);
        } catch (const std::exception& e) {
            qCWarning(lcScreen).noquote() << "purchase" << m_id << ": journal not written:" << errorText(e);
        }
    };
    try {
        if (!chargeCard()) {
            qCInfo(lcScreen) << "card transaction not carried out, result" << m_out.result;
            notCharged(QStringLiteral("refused by the terminal (%1)").arg(m_out.result));
            return ending(End::Refused, PurchaseTexts::terminalRefused());
        }
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "card transaction failed:" << errorText(e);
        notCharged(errorText(e));
        return ending(End::Failed, PurchaseTexts::terminalUnreachable());
    }
    qCInfo(lcScreen).noquote() << "card transaction approved, NSU" << m_out.nsu;

    // From here the card holder's money is pending: every way out settles the purchase.
    const auto progressText = [this](const QString& text) { report(text); };
    try {
        fillPacket();
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_out.nsu << "stopped before its journal entry:" << errorText(e);
        PurchaseRecord bare = orderRecord();
        bare.nsu = m_out.nsu;
        PaidPurchase unrecordable(m_ctx.support, progressText, bare);
        const QString notice = unrecordable.rescue(errorText(e));
        followJournal(*journal);
        return ending(End::Failed, notice);
    }
    PaidPurchase paid(m_ctx.support, progressText, journalRecord());
    try {
        paid.journalApproval();
        enter(PurchaseState::Authorised);
        FaultPoint::hit("after-approval");
    } catch (const std::exception& e) {
        qCWarning(lcScreen).noquote() << "purchase" << m_out.nsu << ":" << errorText(e);
        followJournal(*journal);
        return ending(End::Failed, paid.outcomeText().isEmpty() ? PurchaseTexts::undone() : paid.outcomeText());
    }

    report(QStringLiteral("Aguarde! Imprimindo cupom..."));
    try {
        printAndRecord(paid);
    } catch (const std::exception& e) {
        const QString text = errorText(e);
        qCWarning(lcScreen).noquote() << "purchase" << m_out.nsu << "stopped:" << text;
        QString notice;
        if (paid.settled()) {
            notice = paid.outcomeText();
        } else {
            // The slip printer leaves out the slip of a receipt that never reached the printer.
            paid.record().receiptPort = m_receiptPort;
            notice = paid.rescue(text);
            if (m_printing && notice == PurchaseTexts::undone())
                notice = PurchaseTexts::printerFailed(false);
        }
        followJournal(*journal);
        return ending(End::Failed, notice.isEmpty() ? PurchaseTexts::unsettled() : notice);
    }
    followJournal(*journal);
    // A TEF receipt that did not print is told like our own receipt's failure, once the credit stands.
    const QString outcome = paid.outcomeText();
    const bool creditStands = outcome.isEmpty() || outcome == PurchaseTexts::recordedLate();
    return ending(End::Completed, m_tefReceiptFailed && creditStands ? PurchaseTexts::printerFailed(true) : outcome);
}
