// The recharge screen's purchase: the OK key turns the chosen family and the typed
// amount into a card purchase, a printed receipt, a recorded credit and the new
// balance. Once the terminal approved, the purchase is kept in the purchase journal
// until it is either recorded and confirmed or undone on the terminal, so money a
// consumer paid is never lost, whatever fails and even if the kiosk dies.
#include "TfrmRecSaldo.h"

#include "AmountText.h"
#include "CardNumberMask.h"
#include "Cli_kvb52814.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "Consiste.h"
#include "DateTimeValue.h"
#include "FaultPoint.h"
#include "KioskError.h"
#include "Ledger.h"
#include "Logging.h"
#include "Mensagemzel.h"
#include "PaymentTerminal.h"
#include "PurchaseJournal.h"
#include "PurchaseSettlement.h"
#include "SimulatedTerminal.h"
#include "Srv_kvb52814.h"
#include "StoreLedger.h"
#include "TMessages.h"
#include "Wst00001.h"
#include "Wst00002.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLocale>
#include <QTimer>

namespace
{
const QString creditCodes = QStringLiteral("[10;15;24;27;28;29;31;32;33;40]");
const QString debitCodes = QStringLiteral("[10;17;18;19;25;31;32;33;40]");
const QString creditFilter = QStringLiteral("(CDFPIMPFIS <> '') AND (IDTIPORECE = '1')");
const QString debitFilter = QStringLiteral("(CDFPIMPFIS <> '') AND (IDTIPORECE = '2')");

const QString textUndone = QStringLiteral(
    "Não foi possível registrar o crédito. A compra no cartão foi cancelada; nenhum valor será cobrado.");
const QString textRecordedLate = QStringLiteral("O crédito foi registrado.");
const QString textUnsettled =
    QStringLiteral("Não foi possível concluir o registro do crédito agora. A compra será concluída ou cancelada "
                   "automaticamente; guarde o comprovante.");

bool showBox(const TfrmRecSaldo& screen, const QString& text, const QString& answer, int kind)
{
    return Mensagemzel::Mensagem(text, QString(), QStringLiteral("N"), answer, kind, QString(),
                                 screen.parametros.IDESQUEMA, 0, nullptr);
}

void notice(const TfrmRecSaldo& screen, const QString& text)
{
    showBox(screen, text, QStringLiteral("N"), tmAviso);
}

// A money caption as a number, read with the kiosk locale's decimal separator.
double amountOf(const QString& caption)
{
    QString text = caption.trimmed();
    text.replace(AmountText::separator(), QLatin1Char('.'));
    bool ok = false;
    const double value = QLocale::c().toDouble(text, &ok);
    if (!ok || text.isEmpty())
        throw KioskError(QStringLiteral("'%1' não é um valor válido.").arg(caption));
    return value;
}

QString shortDate(double days)
{
    return QLocale().toString(DateTimeValue::toDateTime(days).date(), QLocale::ShortFormat);
}

// How a run of the purchase ended, for the final reset.
enum class RunEnd {
    Reset,    // step 31 follows: message line cleared, OK key freed
    LeaveAsIs // the screen is closing after a timeout: nothing more to do
};

// One card purchase the terminal approved: its journal entry and how it ends.
// Until it is settled, the card holder's money is pending on the terminal.
class PaidPurchase
{
public:
    PaidPurchase(TfrmRecSaldo& screen, PurchaseRecord record)
        : m_screen(screen), m_record(std::move(record)),
          m_journal(screen.purchaseSupport.journalFile.isEmpty() ? PurchaseJournal::defaultFile()
                                                                 : screen.purchaseSupport.journalFile),
          m_ledger(screen.purchaseSupport.ledger ? screen.purchaseSupport.ledger : std::make_shared<StoreLedger>())
    {
    }

    PurchaseRecord& record() { return m_record; }
    bool settled() const { return m_settled; }
    // The words for the consumer once the purchase has ended, empty on a plain success.
    const QString& outcomeText() const { return m_outcomeText; }

    // Written before anything else can go wrong; a failure here undoes the card at once.
    void journalApproval()
    {
        try {
            m_journal.write(m_record, PurchaseState::Authorised, QStringLiteral("approved"));
        } catch (const KioskError& e) {
            qCCritical(lcScreen).noquote() << "purchase" << m_record.nsu << "could not be journalled:" << e.message();
            m_recordingTried = false;
            throw KioskError(e.message() + QLatin1Char('\n') + rescue(e.message()));
        }
    }

    // A fuller snapshot (receipt counters, deposit number, fiscal date); the entry written
    // at approval still serves if this one cannot be written.
    void journalPrinted()
    {
        try {
            m_journal.write(m_record, PurchaseState::Authorised, QStringLiteral("receipt printed"));
        } catch (const KioskError& e) {
            qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu
                                          << "printed; the fuller journal entry could not be written:" << e.message();
        }
    }

    void recordingCalled() { m_recordingTried = true; }

    // After the recording was called: the store's ledger says whether it holds the purchase.
    // Recorded: confirm. Not recorded: record again a few times, the wait window saying so,
    // then undo on the terminal if it still cannot be recorded.
    void settleFromLedger()
    {
        const QList<int> delays = m_screen.purchaseSupport.retryDelaysMs;
        const int attempts = int(delays.size()) + 1;
        bool recorded = false;
        try {
            recorded = m_ledger->holds(m_record);
        } catch (const std::exception& e) {
            qCWarning(lcScreen).noquote()
                << "purchase" << m_record.nsu << ": the store cannot say whether it is recorded:" << e.what();
        }
        auto sleeper = m_screen.purchaseSupport.sleeper
                           ? m_screen.purchaseSupport.sleeper
                           : PurchaseSettlement::Sleeper(&SimulatedTerminal::sleepProcessingEvents);
        PurchaseSettlement settlement(m_journal, *m_ledger, Wst00001::paymentTerminal(), sleeper);
        if (!recorded && attempts > 1) {
            // The call just made was the first attempt; the settlement makes the others.
            showAttempt(2, attempts);
            sleeper(delays.first());
            settlement.setRetryDelays(delays.mid(1));
            settlement.setProgress([this](int attempt, int) { showAttempt(attempt + 1, -1); });
            m_attempts = attempts;
        } else if (!recorded) {
            settlement.setRetryDelays({});
        }
        JournalEntry entry;
        entry.purchase = m_record;
        entry.state = PurchaseState::Authorised;
        const PurchaseSettlement::Result result = settlement.settle(entry);
        m_settled = true;
        qCInfo(lcScreen).noquote() << "purchase" << m_record.nsu
                                   << "settled:" << PurchaseSettlement::outcomeName(result.outcome) << result.text;
        switch (result.outcome) {
        case PurchaseSettlement::Outcome::Confirmed:
        case PurchaseSettlement::Outcome::ConfirmLater:
            m_outcomeText = recorded ? QString() : textRecordedLate;
            break;
        case PurchaseSettlement::Outcome::Undone:
            m_outcomeText = textUndone;
            break;
        case PurchaseSettlement::Outcome::Unsettled:
            m_outcomeText = textUnsettled;
            break;
        }
    }

    // An error stopped the purchase after the approval. Nothing recorded yet: undo the card
    // transaction. Recording already called: the ledger decides; when it cannot answer,
    // the entry stays for the next settlement rather than undoing blind.
    // Returns the words for the consumer.
    QString rescue(const QString& reason)
    {
        m_settled = true;
        PaymentTerminal& terminal = Wst00001::paymentTerminal();
        try {
            if (m_recordingTried && m_ledger->holds(m_record)) {
                journalQuietly(PurchaseState::Recorded, QString());
                terminal.confirm(m_record.nsu);
                journalQuietly(PurchaseState::Confirmed, QString());
                return textRecordedLate;
            }
            terminal.undo(m_record.nsu);
        } catch (const std::exception& e) {
            qCCritical(lcScreen).noquote() << "purchase" << m_record.nsu << "left for the next settlement:" << e.what();
            return textUnsettled;
        }
        qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu << "undone on the terminal:" << reason;
        journalQuietly(PurchaseState::Undone, reason);
        return textUndone;
    }

private:
    void showAttempt(int attempt, int attempts)
    {
        if (attempts > 0)
            m_attempts = attempts;
        Wst00002::AtivaProcesso(
            runningScreen(), QStringLiteral("Registrando o crédito... tentativa %1 de %2").arg(attempt).arg(m_attempts),
            m_screen.parametros.INCOR1, m_screen.parametros.INCOR2);
    }

    QWidget* runningScreen() const
    {
        return Cli_kvb52814::frmRecSaldo ? static_cast<QWidget*>(Cli_kvb52814::frmRecSaldo) : &m_screen;
    }

    // On the way out of a failure the terminal has the last word; a journal that cannot
    // be written then leaves the entry as it was, which the next settlement finishes.
    void journalQuietly(PurchaseState state, const QString& note)
    {
        try {
            m_journal.write(m_record, state, note);
        } catch (const KioskError& e) {
            qCWarning(lcScreen).noquote() << "purchase" << m_record.nsu << ": journal not written:" << e.message();
        }
    }

    TfrmRecSaldo& m_screen;
    PurchaseRecord m_record;
    PurchaseJournal m_journal;
    std::shared_ptr<Ledger> m_ledger;
    bool m_recordingTried = false;
    bool m_settled = false;
    int m_attempts = 0;
    QString m_outcomeText;
};

// The steps after the confirmation; returns how the run ends. Errors go to the caller.
class PurchaseRun
{
public:
    explicit PurchaseRun(TfrmRecSaldo& screen) : s(screen) {}
    RunEnd run(qint32& resultadoTef);

private:
    QLabel* label(const char* name) const { return s.control<QLabel>(QString::fromLatin1(name)); }
    QWidget* runningScreen() const
    {
        return Cli_kvb52814::frmRecSaldo ? static_cast<QWidget*>(Cli_kvb52814::frmRecSaldo) : &s;
    }
    void chooseReceiptType();
    bool runCardTransaction(qint32& resultadoTef);
    void fillPacket();
    PurchaseRecord journalRecord() const;
    void printAndRecord(PaidPurchase& paid);

    TfrmRecSaldo& s;
    QString depositNumber;
    QString coo;
    QString gnf;
    double fiscalDate = 0;
};

void PurchaseRun::chooseReceiptType()
{
    // 17. The working copy of the receipt-type configuration, on the card type's row.
    ClientDataSet& types = *s.cdsTipRecConf;
    types.setData(s.cdsConfTipoRece->data());
    types.open();
    types.setFiltered(false);
    types.setFilter(s.TipoCartao == 1 ? creditFilter : debitFilter);
    types.setFiltered(true);
    types.locate(QStringLiteral("IDTIPORECE"), s.TipoCartao == 1 ? QStringLiteral("1") : QStringLiteral("2"));
}

bool PurchaseRun::runCardTransaction(qint32& resultadoTef)
{
    // 18-19. The terminal functions are released whatever the transaction's end.
    Wst00001::InstanciaFuncoes_Pgt00000();
    bool approved = false;
    try {
        const QString caption = label("lblVrSaldo")->text();
        const double amount = amountOf(caption);
        const QDateTime dateNow = Clock::instance().now();
        const QString date = dateNow.toString(QStringLiteral("yyyyMMdd"));
        const QDateTime timeNow = Clock::instance().now();
        const QString time = timeNow.toString(QStringLiteral("HHmmss"));
        const QString description = QStringLiteral("[Compra de Créd,00000000,1,") + caption + QLatin1Char(']');
        const QString none;
        approved = Wst00001::CriaDedicado(s.NsuHostTef, s.AutorizacaoTef, s.NrCartaoTef, s.BancoCartaoTef, s.RedeTef,
                                          resultadoTef, s.parametros.DSENDIPSITEF, none, none, 0, 0, amount, 0, date,
                                          time, s.parametros.CDOPERADORLOGIN, s.CodigosFuncao, 1, 0, amount,
                                          QStringLiteral("N"), s.parametros.IDESQUEMA, 0, description);
    } catch (...) {
        Wst00001::FinalizaFuncoes_Pgt00000();
        throw;
    }
    // 20.
    Wst00001::FinalizaFuncoes_Pgt00000();
    return approved;
}

void PurchaseRun::fillPacket()
{
    // 21. A packet of its own for every purchase: created empty, one record.
    ClientDataSet& mov = *s.cdsMovCaixa;
    ClientDataSet& types = *s.cdsTipRecConf;
    auto type = [&](const char* field) { return types.fieldByName(QString::fromLatin1(field)).asString(); };
    auto set = [&](const char* field) { return mov.fieldByName(QString::fromLatin1(field)); };
    const double now = DateTimeValue::fromDateTime(Clock::instance().now());

    mov.close();
    mov.createDataSet();
    mov.open();
    mov.insert();
    set("CDFILIAL").setAsString(s.parametros.CDFILIAL);
    set("IDTIPOMOVIVE").setAsString(QStringLiteral("E"));
    set("DTHRINCMOV").setAsDateTime(now);
    set("CDTIPORECE").setAsString(type("CDTIPORECE"));
    set("NMTIPORECE").setAsString(type("NMTIPORECE"));
    set("IDTIPORECE").setAsString(type("IDTIPORECE"));
    set("VRMOVIVEND").setAsFloat(amountOf(label("lblVrSaldo")->text()));
    set("CDTIPOTROCO").setAsString(QString());
    set("NRORDTROCO").setAsString(QString());
    set("CDCLIENTE").setAsString(s.parametros.CDCLIENTE);
    set("DTMOVIMCAIXA").setAsDateTime(set("DTHRINCMOV").asDateTime());
    set("DSIMPFISCAL").setAsString(type("DSIMPFISCAL"));
    set("CDFPIMPFIS").setAsString(type("CDFPIMPFIS"));
    // The terminal masks the number already; a full number must never reach the store.
    set("NRCARTBANCO").setAsString(CardNumberMask::mask(s.NrCartaoTef));
    set("CDNSUHOSTTEF").setAsString(s.NsuHostTef);
    if (!Consiste::EmptyString(s.BancoCartaoTef)) {
        set("CDBANCARTCR").setAsString(s.BancoCartaoTef);
        set("CDTIPORECEORIG").setAsString(type("CDTIPORECE"));
        s.BancoCartaoTef.clear();
        s.RedeTef.clear();
    }
    mov.post();
}

PurchaseRecord PurchaseRun::journalRecord() const
{
    PurchaseRecord r;
    r.nsu = s.NsuHostTef;
    r.CDFILIAL = s.parametros.CDFILIAL;
    r.CDCAIXA = s.parametros.CDCAIXA;
    r.CDCLIENTE = s.parametros.CDCLIENTE;
    s.cdsConsumidor->first();
    r.CDCONSUMIDOR = s.cdsConsumidor->fieldByName(QStringLiteral("CDCONSUMIDOR")).asString();
    r.CDFAMILISALD = s.FamiliaSelecionada;
    r.NRDEPOSICONS = depositNumber;
    r.NRCOODOCNFIS = coo;
    r.NRGNFDOCNFIS = gnf;
    r.DTABERCAIX = s.parametros.DTABERCAIX;
    // Until the fiscal date is known, the movement's own date stands for it.
    s.cdsMovCaixa->first();
    r.DTMOVIDOCNFIS =
        fiscalDate != 0 ? fiscalDate : s.cdsMovCaixa->fieldByName(QStringLiteral("DTMOVIMCAIXA")).asDateTime();
    r.packet = s.cdsMovCaixa->data();
    return r;
}

void PurchaseRun::printAndRecord(PaidPurchase& paid)
{
    // 23. Deposit number; the coupon counters start empty.
    depositNumber = Clock::instance().now().toString(QStringLiteral("yyMMddHHmm"));
    coo.clear();
    gnf.clear();
    // 24.
    fiscalDate = Wst00001::DataMoviFiscal(s.parametros.IDESQUEMA);
    // 25. The credit receipt.
    const QString none;
    const double balanceBefore = amountOf(label("lblVrSaldoCons")->text());
    Wst00001::Compr_CredPessoal(s.parametros.CDPORTAIMPFIS, s.parametros.STTOTCOMPCRED, none, s.parametros.CDFILIAL,
                                s.parametros.CDCAIXA, s.parametros.IDESQUEMA, coo, gnf, s.cdsMovCaixa, balanceBefore,
                                s.control<QAbstractButton>(QStringLiteral("blsNome"))->text(), depositNumber,
                                s.parametros.IDIMPCOMPCREDPE, s.parametros.IDPAISINTEGRA, s.parametros.IDTIPOIMPNF1,
                                s.parametros.CDPORTIMPNF1, 0, none, s.parametros.NMCAIXA, s.parametros.DSENDEFILI, none,
                                s.parametros.CDINSCMUNIFILI, none, none, s.parametros.UTILIZAIMPFIS, 0, 0);
    paid.record() = journalRecord();
    paid.journalPrinted();
    FaultPoint::hit("after-printing");

    // 26. The day's first coupon; its answer is not needed by the purchase.
    Srv_kvb52814::setGravaCupomInicial(s.parametros.CDFILIAL, s.parametros.CDCAIXA, coo, fiscalDate);
    // 27.
    Wst00002::AtivaProcesso(runningScreen(), QStringLiteral("Imprimindo comprovante TEF..."), s.parametros.INCOR1,
                            s.parametros.INCOR2);

    // 28. The recording; the ledger, not its answer, then says whether the credit is there.
    const QString client = s.parametros.CDCLIENTE;
    const PurchaseRecord& r = paid.record();
    paid.recordingCalled();
    const QVariant result =
        Srv_kvb52814::setGravaCompCred(PacketVariant::of(r.packet), r.CDFILIAL, r.CDCAIXA, client, r.CDCONSUMIDOR,
                                       r.CDFAMILISALD, depositNumber, coo, gnf, QString(), r.DTABERCAIX, fiscalDate);
    const QString d = QStringLiteral("Cli_Kvb52814-cdsMovCaixa.data-") + r.CDFILIAL + QLatin1Char('-') + r.CDCAIXA +
                      QLatin1Char('-') + client + QLatin1Char('-');
    const QString l = QStringList{r.CDCONSUMIDOR, r.CDFAMILISALD,          depositNumber,        coo, gnf,
                                  QString(),      shortDate(r.DTABERCAIX), shortDate(fiscalDate)}
                          .join(QLatin1Char('-'));
    Mensagemzel::MensagemMetodo(result, true, 0, QStringLiteral("setGravaCompCred"), d, l, s.parametros.IDESQUEMA);
    paid.settleFromLedger();

    // 29. The new balance of the chosen family.
    s.RecSaldo();
    s.cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), s.FamiliaSelecionada);
    label("lblVrSaldoCons")
        ->setText(AmountText::money(s.cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat(),
                                    AmountText::separator()));
    label("lblMensagem")->clear();
}

RunEnd PurchaseRun::run(qint32& resultadoTef)
{
    // 13. The idle timeout fired while the consumer was answering: the screen is closing.
    if (s.TempoEsgotado)
        return RunEnd::LeaveAsIs;
    // 14-16.
    s.tmrPadrao->stop();
    label("lblMensagem")->setText(s.msgPadrao->Msg(QStringLiteral("AGUARDE")));
    s.NsuHostTef.clear();
    s.AutorizacaoTef.clear();
    s.NrCartaoTef.clear();
    s.BancoCartaoTef.clear();
    s.RedeTef.clear();

    chooseReceiptType();
    if (!runCardTransaction(resultadoTef)) {
        qCInfo(lcScreen) << "card transaction not carried out, result" << resultadoTef;
        notice(s, QStringLiteral("Erro na transação Tef. Compra não efetuada."));
        return RunEnd::Reset;
    }
    qCInfo(lcScreen).noquote() << "card transaction approved, NSU" << s.NsuHostTef;

    // From here the card holder's money is pending: every way out settles the purchase.
    std::unique_ptr<PaidPurchase> paid;
    QString outcome;
    try {
        fillPacket();
    } catch (const std::exception& e) {
        PurchaseRecord bare;
        bare.nsu = s.NsuHostTef;
        bare.CDFILIAL = s.parametros.CDFILIAL;
        bare.CDCAIXA = s.parametros.CDCAIXA;
        PaidPurchase unrecordable(s, bare);
        throw KioskError(QString::fromUtf8(e.what()) + QLatin1Char('\n') +
                         unrecordable.rescue(QString::fromUtf8(e.what())));
    }
    paid = std::make_unique<PaidPurchase>(s, journalRecord());
    paid->journalApproval();
    FaultPoint::hit("after-approval");

    // 22-30. The wait window closes whatever happens while it is open.
    Wst00002::AtivaProcesso(runningScreen(), QStringLiteral("Aguarde! Imprimindo cupom..."), s.parametros.INCOR1,
                            s.parametros.INCOR2);
    try {
        printAndRecord(*paid);
    } catch (const std::exception& e) {
        Wst00002::DesativaProcesso();
        const QString text = QString::fromUtf8(e.what());
        if (paid->settled()) {
            if (!paid->outcomeText().isEmpty())
                notice(s, paid->outcomeText());
            throw;
        }
        throw KioskError(text + QLatin1Char('\n') + paid->rescue(text));
    }
    Wst00002::DesativaProcesso();
    if (!paid->outcomeText().isEmpty())
        notice(s, paid->outcomeText());
    return RunEnd::Reset;
}
} // namespace

void TfrmRecSaldo::dxbTclEnterClick(QObject*)
{
    // 1.
    if (FamiliaSelecionada.isEmpty()) {
        notice(*this, msgPadrao->Msg(QStringLiteral("Inf_Familia")));
        return;
    }
    // 2. One purchase at a time: the flow's own waits let a second OK in.
    if (!LiberaOK)
        return;
    LiberaOK = false;
    // 3.
    if (TempoEsgotado)
        return;
    // 4-5.
    restartIdleCountdown();
    qint32 resultadoTef = 0;
    CodigosFuncao.clear();

    // 6-8. The card type panel, over a disabled menu and keypad.
    QWidget* cardTypes = control(QStringLiteral("PanTipoRece"));
    QWidget* families = control(QStringLiteral("PanFamilia"));
    QWidget* keypad = control(QStringLiteral("pnlVrSaldo"));
    cardTypes->setVisible(true);
    families->setEnabled(false);
    keypad->setEnabled(false);
    TipoCartao = 0;
    waitForCardType();
    cardTypes->setVisible(false);
    families->setEnabled(true);
    keypad->setEnabled(true);

    // 9-10.
    if (TipoCartao == 1)
        CodigosFuncao = creditCodes;
    else if (TipoCartao == 2)
        CodigosFuncao = debitCodes;
    if (TipoCartao == -1) {
        notice(*this, QStringLiteral("Recebimento Cancelado."));
        return;
    }

    // 11-12.
    if (showBox(*this, msgPadrao->Msg(QStringLiteral("CONF")), QStringLiteral("S"), tmPergunta)) {
        try {
            if (PurchaseRun(*this).run(resultadoTef) == RunEnd::LeaveAsIs)
                return;
        } catch (const std::exception& e) {
            const QString text = QString::fromUtf8(e.what());
            qCWarning(lcScreen).noquote() << "purchase stopped:" << text;
            notice(*this, text);
        }
    }
    // 31.
    control<QLabel>(QStringLiteral("lblMensagem"))->clear();
    LiberaOK = true;
}
