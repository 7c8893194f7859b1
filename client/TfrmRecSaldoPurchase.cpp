// The recharge screen's OK key: the checks, the card type panel and the confirmation,
// then the purchase order handed to the card purchase, and the screen after it.
// Nothing here waits: each step ends when it has shown what the consumer must answer,
// and the answer (a card type button, the question's buttons, the purchase's end)
// starts the next. From the OK key until the purchase has ended the screen takes no
// input that could change what is charged or credited; only the back button keeps its
// meaning, and a close it asks for while the card is charged takes effect at the end.
#include "TfrmRecSaldo.h"

#include "AmountText.h"
#include "CardPurchase.h"
#include "ClientDataSet.h"
#include "Logging.h"
#include "Mensagemzel.h"
#include "PurchaseOrder.h"
#include "PurchaseTexts.h"
#include "ScreenPrompter.h"
#include "StoreWorker.h"
#include "TMessages.h"
#include "TerminalPromptView.h"
#include "Wst00002.h"

#include <QLabel>
#include <QTimer>

namespace
{
const QString creditCodes = QStringLiteral("[10;15;24;27;28;29;31;32;33;40]");
const QString debitCodes = QStringLiteral("[10;17;18;19;25;31;32;33;40]");
} // namespace

void TfrmRecSaldo::notice(const QString& text)
{
    Mensagemzel::Mensagem(text, QString(), QStringLiteral("N"), QStringLiteral("N"), tmAviso, QString(),
                          parametros.IDESQUEMA, 0, nullptr);
}

void TfrmRecSaldo::lockForPurchase(bool locked)
{
    m_purchaseRunning = locked;
    setProperty("purchaseRunning", locked); // for the kiosk's script player
    enableInput();
}

void TfrmRecSaldo::setStoreBusy(bool busy)
{
    m_storeBusy = busy;
    setProperty("storeBusy", busy); // for the kiosk's script player
    enableInput();
}

void TfrmRecSaldo::enableInput()
{
    const bool enabled = !m_purchaseRunning && !m_storeBusy;
    control(QStringLiteral("PanFamilia"))->setEnabled(enabled);
    control(QStringLiteral("pnlVrSaldo"))->setEnabled(enabled);
}

PurchaseOrder TfrmRecSaldo::takeOrder()
{
    PurchaseOrder order;
    order.digits = ValorDigitado;
    order.amount = PurchaseOrder::amountOfDigits(ValorDigitado);
    order.family = FamiliaSelecionada;
    order.card = TipoCartao == 1 ? PurchaseOrder::Card::Credit : PurchaseOrder::Card::Debit;
    order.client = parametros.CDCLIENTE;
    order.branch = parametros.CDFILIAL;
    order.till = parametros.CDCAIXA;
    order.consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    order.consumerName = consumerField(QStringLiteral("NMCONSUMIDOR"));
    if (cdsSALDOCONS->active() && cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), FamiliaSelecionada)) {
        order.familyName = cdsSALDOCONS->fieldByName(QStringLiteral("NMFAMILISALD")).asString();
        order.balanceBefore =
            Money::fromUnits(cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat()).value_or(Money());
    }
    return order;
}

void TfrmRecSaldo::showFamilyBalanceAfterPurchase()
{
    cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), FamiliaSelecionada);
    control<QLabel>(QStringLiteral("lblVrSaldoCons"))
        ->setText(AmountText::money(cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat(),
                                    AmountText::separator()));
}

void TfrmRecSaldo::dxbTclEnterClick(QObject*)
{
    if (m_purchaseRunning)
        return;
    if (FamiliaSelecionada.isEmpty()) {
        notice(msgPadrao->Msg(QStringLiteral("Inf_Familia")));
        return;
    }
    // One purchase at a time; after the idle timeout the screen is closing.
    if (!LiberaOK)
        return;
    if (TempoEsgotado) {
        LiberaOK = false;
        return;
    }
    // Nothing to charge: the terminal is never asked for a purchase of nothing.
    if (PurchaseOrder::amountOfDigits(ValorDigitado) <= Money()) {
        restartIdleCountdown();
        notice(msgPadrao->Msg(QStringLiteral("VALOR")));
        return;
    }
    LiberaOK = false;
    restartIdleCountdown();
    CodigosFuncao.clear();

    // The menu and the keypad stay disabled, and input means nothing, until the purchase has ended.
    lockForPurchase(true);
    control(QStringLiteral("PanTipoRece"))->setVisible(true);
    TipoCartao = 0;
    m_step = PurchaseStep::CardType;
}

void TfrmRecSaldo::cardTypeAnswered()
{
    if (m_step != PurchaseStep::CardType)
        return;
    m_step = PurchaseStep::None;
    control(QStringLiteral("PanTipoRece"))->setVisible(false);
    if (TipoCartao == -1) {
        endPurchase();
        notice(PurchaseTexts::cancelled());
        return;
    }
    CodigosFuncao = TipoCartao == 1 ? creditCodes : debitCodes;
    // Choosing is a touch: the question that follows gets the full countdown.
    restartIdleCountdown();

    // The order is what the consumer confirms: the question names it.
    const PurchaseOrder order = takeOrder();
    m_step = PurchaseStep::Confirmation;
    const Mensagemzel::MessageSubject subject(order.summary(AmountText::separator()));
    Mensagemzel::Mensagem(msgPadrao->Msg(QStringLiteral("CONF")), QString(), QStringLiteral("N"), QStringLiteral("S"),
                          tmPergunta, QString(), parametros.IDESQUEMA, 0, nullptr,
                          [screen = QPointer<TfrmRecSaldo>(this), order](bool yes) {
                              // A box may outlive its screen (closed by the entry's end): then nothing is due.
                              if (screen)
                                  screen->runHandler([&] { screen->confirmationAnswered(order, yes); });
                          });
}

void TfrmRecSaldo::confirmationAnswered(const PurchaseOrder& order, bool confirmed)
{
    if (m_step != PurchaseStep::Confirmation)
        return;
    m_step = PurchaseStep::None;
    auto* line = control<QLabel>(QStringLiteral("lblMensagem"));
    // Declined, or the countdown ran out while the question was open (the screen is closing).
    if (!confirmed || TempoEsgotado) {
        endPurchase();
        if (!TempoEsgotado) {
            line->clear();
            LiberaOK = true;
        }
        return;
    }
    stopIdleCountdown();
    line->setText(msgPadrao->Msg(QStringLiteral("AGUARDE")));

    CardPurchase::Context context{parametros, cdsConfTipoRece->active() ? cdsConfTipoRece->data() : DataPacket(),
                                  purchaseSupport};
    // The terminal's questions are asked on this screen; the screen going away gives them up.
    const std::shared_ptr<ScreenPrompter> prompter = ScreenPrompter::create();
    context.support.prompter = prompter;
    connect(m_worker, &StoreWorker::stopping, prompter.get(), &ScreenPrompter::giveUp);
    auto* purchase = new CardPurchase(std::move(context), order, CodigosFuncao, *m_worker, this);
    new TerminalPromptView(*this, prompter, purchase);
    m_purchase = purchase;
    m_step = PurchaseStep::Charging;
    connect(purchase, &CardPurchase::progress, this, [this](const QString& text) {
        Wst00002::AtivaProcesso(this, text, parametros.INCOR1, parametros.INCOR2);
    });
    connect(purchase, &CardPurchase::ended, this,
            [this](const CardPurchase::Result& result) { runHandler([&] { purchaseEnded(result); }); });
    purchase->start();
}

void TfrmRecSaldo::purchaseEnded(const CardPurchase::Result& result)
{
    Wst00002::DesativaProcesso();
    m_step = PurchaseStep::None;
    if (m_purchase)
        m_purchase->deleteLater();
    m_purchase = nullptr;
    NsuHostTef = result.outputs.nsu;
    AutorizacaoTef = result.outputs.authorisation;
    NrCartaoTef = result.outputs.cardNumber;
    BancoCartaoTef = result.outputs.bankCode;
    RedeTef = result.outputs.network;
    if (!result.movCaixa.fields().isEmpty())
        cdsMovCaixa->setData(result.movCaixa);
    if (result.end != CardPurchase::End::Completed) {
        finishPurchase(result.notice);
        return;
    }
    // The new balance, read on the worker too: the input stays locked until it shows.
    reloadBalancesInBackground([this, notice = result.notice] {
        runHandler([&] {
            showFamilyBalanceAfterPurchase();
            finishPurchase(notice);
        });
    });
}

void TfrmRecSaldo::finishPurchase(const QString& text)
{
    control<QLabel>(QStringLiteral("lblMensagem"))->clear();
    LiberaOK = true;
    endPurchase();
    // The outcome stays up for at most the countdown: a touch or the timeout dismisses it.
    if (!text.isEmpty())
        notice(text);
    if (m_closePending)
        closeScreen();
}

void TfrmRecSaldo::endPurchase()
{
    lockForPurchase(false);
    if (!TempoEsgotado)
        restartIdleCountdown();
}
