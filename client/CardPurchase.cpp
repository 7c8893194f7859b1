#include "CardPurchase.h"

#include "AmountText.h"
#include "CardNumberMask.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "Consiste.h"
#include "DateTimeValue.h"
#include "ExclusiveLock.h"
#include "FaultPoint.h"
#include "KioskError.h"
#include "Logging.h"
#include "Mensagemzel.h"
#include "PaidPurchase.h"
#include "ParametrosZel.h"
#include "PaymentTerminal.h"
#include "PurchaseJournal.h"
#include "PurchaseTexts.h"
#include "RecSaldoDataSets.h"
#include "Srv_kvb52814.h"
#include "Wst00001.h"
#include "Wst00002.h"

#include <QLocale>

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

CardPurchase::CardPurchase(Context context, PurchaseOrder order, QString functionCodes)
    : m_ctx(std::move(context)), m_order(std::move(order)), m_functionCodes(std::move(functionCodes))
{
}

void CardPurchase::chooseReceiptType()
{
    // The working copy of the receipt-type configuration, on the first row of the card type.
    const bool credit = m_order.card == PurchaseOrder::Card::Credit;
    ClientDataSet& types = m_ctx.tipRecConf;
    types.setData(m_ctx.confTipoRece.data());
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
    // What the terminal's own display says is shown in the wait window while it waits.
    terminal.setDisplay(
        [this, &p](const QString& prompt) { Wst00002::AtivaProcesso(m_ctx.screen, prompt, p.INCOR1, p.INCOR2); });
    struct DisplayOff {
        PaymentTerminal& t;
        ~DisplayOff() { t.setDisplay({}); }
    } displayOff{terminal};

    // The terminal functions are released whatever the transaction's end.
    Wst00001::InstanciaFuncoes_Pgt00000();
    bool approved = false;
    try {
        const double amount = m_order.amount();
        const QString date = Clock::instance().now().toString(QStringLiteral("yyyyMMdd"));
        const QString time = Clock::instance().now().toString(QStringLiteral("HHmmss"));
        const QString description = QStringLiteral("[Compra de Créd,00000000,1,") +
                                    m_order.amountText(AmountText::separator()) + QLatin1Char(']');
        const QString none;
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
    ClientDataSet& mov = m_ctx.movCaixa;
    ClientDataSet& types = m_ctx.tipRecConf;
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
    set("VRMOVIVEND").setAsFloat(m_order.amount());
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
    m_ctx.movCaixa.first();
    r.DTMOVIDOCNFIS =
        m_fiscalDate != 0 ? m_fiscalDate : m_ctx.movCaixa.fieldByName(QStringLiteral("DTMOVIMCAIXA")).asDateTime();
    r.packet = m_ctx.movCaixa.data();
    return r;
}

void CardPurchase::printAndRecord(PaidPurchase& paid)
{
    const ParametrosZel& p = m_ctx.parametros;
    // The deposit number; the coupon counters start empty.
    m_depositNumber = Clock::instance().now().toString(QStringLiteral("yyMMddHHmm"));
    m_coo.clear();
    m_gnf.clear();
    m_fiscalDate = Wst00001::DataMoviFiscal(p.IDESQUEMA);

    // The credit receipt, for the balance and the name the consumer saw. From the moment
    // it is sent the consumer may hold it, whole or in part: an undo then owes a slip.
    m_receiptPort = Wst00001::receiptPort(p.CDPORTAIMPFIS, p.CDPORTIMPNF1, p.UTILIZAIMPFIS);
    const QString none;
    Wst00001::Compr_CredPessoal(p.CDPORTAIMPFIS, p.STTOTCOMPCRED, none, p.CDFILIAL, p.CDCAIXA, p.IDESQUEMA, m_coo,
                                m_gnf, &m_ctx.movCaixa, m_order.balanceBefore, m_order.consumerName, m_depositNumber,
                                p.IDIMPCOMPCREDPE, p.IDPAISINTEGRA, p.IDTIPOIMPNF1, p.CDPORTIMPNF1, 0, none, p.NMCAIXA,
                                p.DSENDEFILI, none, p.CDINSCMUNIFILI, none, none, p.UTILIZAIMPFIS, 0, 0);
    paid.record() = journalRecord();
    paid.journalPrinted();
    FaultPoint::hit("after-printing");

    // The day's first coupon; the purchase does not depend on it.
    Srv_kvb52814::setGravaCupomInicial(p.CDFILIAL, p.CDCAIXA, m_coo, m_fiscalDate);
    Wst00002::AtivaProcesso(m_ctx.screen, QStringLiteral("Imprimindo comprovante TEF..."), p.INCOR1, p.INCOR2);

    // The recording; the ledger, not its answer, then says whether the credit is there.
    const PurchaseRecord& r = paid.record();
    paid.recordingCalled();
    const QVariant result = Srv_kvb52814::setGravaCompCred(PacketVariant::of(r.packet), r.CDFILIAL, r.CDCAIXA,
                                                           p.CDCLIENTE, r.CDCONSUMIDOR, r.CDFAMILISALD, m_depositNumber,
                                                           m_coo, m_gnf, QString(), r.DTABERCAIX, m_fiscalDate);
    const QString d = QStringLiteral("Cli_Kvb52814-cdsMovCaixa.data-") + r.CDFILIAL + QLatin1Char('-') + r.CDCAIXA +
                      QLatin1Char('-') + p.CDCLIENTE + QLatin1Char('-');
    const QString l = QStringList{r.CDCONSUMIDOR, r.CDFAMILISALD, m_depositNumber,         m_coo,
                                  m_gnf,          QString(),      shortDate(r.DTABERCAIX), shortDate(m_fiscalDate)}
                          .join(QLatin1Char('-'));
    Mensagemzel::MensagemMetodo(result, true, 0, QStringLiteral("setGravaCompCred"), d, l, p.IDESQUEMA);
    paid.settleFromLedger();

    if (m_ctx.showNewBalance)
        m_ctx.showNewBalance();
}

CardPurchase::Result CardPurchase::run()
{
    const ParametrosZel& p = m_ctx.parametros;
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
    } catch (const std::exception& e) {
        qCCritical(lcScreen).noquote() << "purchase not started, the terminal was not asked:" << errorText(e);
        return {End::Failed, errorText(e) + QLatin1Char('\n') + PurchaseTexts::notStarted()};
    }
    FaultPoint::hit("after-order");
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
        } catch (const std::exception& e) {
            qCWarning(lcScreen).noquote() << "purchase" << m_id << ": journal not written:" << errorText(e);
        }
    };
    try {
        if (!chargeCard()) {
            Wst00002::DesativaProcesso();
            qCInfo(lcScreen) << "card transaction not carried out, result" << m_out.result;
            notCharged(QStringLiteral("refused by the terminal (%1)").arg(m_out.result));
            return {End::Refused, PurchaseTexts::terminalRefused()};
        }
    } catch (const std::exception& e) {
        Wst00002::DesativaProcesso();
        notCharged(errorText(e));
        return {End::Failed, errorText(e)};
    }
    qCInfo(lcScreen).noquote() << "card transaction approved, NSU" << m_out.nsu;

    // From here the card holder's money is pending: every way out settles the purchase.
    try {
        fillPacket();
    } catch (const std::exception& e) {
        Wst00002::DesativaProcesso();
        PurchaseRecord bare = orderRecord();
        bare.nsu = m_out.nsu;
        bare.CDFILIAL = m_order.branch;
        bare.CDCAIXA = m_order.till;
        PaidPurchase unrecordable(m_ctx.support, {}, bare);
        return {End::Failed, errorText(e) + QLatin1Char('\n') + unrecordable.rescue(errorText(e))};
    }
    auto waitText = [this, &p](const QString& text) {
        Wst00002::AtivaProcesso(m_ctx.screen, text, p.INCOR1, p.INCOR2);
    };
    PaidPurchase paid(m_ctx.support, waitText, journalRecord());
    try {
        paid.journalApproval();
        FaultPoint::hit("after-approval");
    } catch (const std::exception& e) {
        Wst00002::DesativaProcesso();
        return {End::Failed, errorText(e)};
    }

    // The wait window closes whatever happens while it is open.
    waitText(QStringLiteral("Aguarde! Imprimindo cupom..."));
    try {
        printAndRecord(paid);
    } catch (const std::exception& e) {
        Wst00002::DesativaProcesso();
        const QString text = errorText(e);
        qCWarning(lcScreen).noquote() << "purchase stopped:" << text;
        if (paid.settled()) {
            const QString outcome = paid.outcomeText();
            return {End::Failed, outcome.isEmpty() ? text : outcome + QLatin1Char('\n') + text};
        }
        paid.record().receiptPort = m_receiptPort;
        return {End::Failed, text + QLatin1Char('\n') + paid.rescue(text)};
    }
    Wst00002::DesativaProcesso();
    return {End::Completed, paid.outcomeText()};
}
