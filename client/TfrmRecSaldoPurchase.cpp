// The recharge screen's OK key: the checks, the card type panel and the confirmation,
// then the purchase order handed to the card purchase, and the screen after it.
// From the OK key until the purchase has ended the screen takes no input that could
// change what is charged or credited; only the back button keeps its meaning, and a
// close it asks for takes effect when the purchase has ended.
#include "TfrmRecSaldo.h"

#include "AmountText.h"
#include "CardPurchase.h"
#include "ClientDataSet.h"
#include "Logging.h"
#include "Mensagemzel.h"
#include "PurchaseOrder.h"
#include "PurchaseTexts.h"
#include "TMessages.h"

#include <QLabel>
#include <QTimer>

namespace
{
const QString creditCodes = QStringLiteral("[10;15;24;27;28;29;31;32;33;40]");
const QString debitCodes = QStringLiteral("[10;17;18;19;25;31;32;33;40]");

bool showBox(const TfrmRecSaldo& screen, const QString& text, const QString& answer, int kind)
{
    return Mensagemzel::Mensagem(text, QString(), QStringLiteral("N"), answer, kind, QString(),
                                 screen.parametros.IDESQUEMA, 0, nullptr);
}

void notice(const TfrmRecSaldo& screen, const QString& text)
{
    showBox(screen, text, QStringLiteral("N"), tmAviso);
}
} // namespace

void TfrmRecSaldo::lockForPurchase(bool locked)
{
    m_purchaseRunning = locked;
    control(QStringLiteral("PanFamilia"))->setEnabled(!locked);
    control(QStringLiteral("pnlVrSaldo"))->setEnabled(!locked);
}

PurchaseOrder TfrmRecSaldo::takeOrder()
{
    PurchaseOrder order;
    order.digits = ValorDigitado;
    order.amountCents = PurchaseOrder::centsOfDigits(ValorDigitado);
    order.family = FamiliaSelecionada;
    order.card = TipoCartao == 1 ? PurchaseOrder::Card::Credit : PurchaseOrder::Card::Debit;
    order.client = parametros.CDCLIENTE;
    order.branch = parametros.CDFILIAL;
    order.till = parametros.CDCAIXA;
    order.consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    order.consumerName = consumerField(QStringLiteral("NMCONSUMIDOR"));
    if (cdsSALDOCONS->active() && cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), FamiliaSelecionada)) {
        order.familyName = cdsSALDOCONS->fieldByName(QStringLiteral("NMFAMILISALD")).asString();
        order.balanceBefore = cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat();
    }
    return order;
}

void TfrmRecSaldo::showNewBalance()
{
    RecSaldo();
    cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), FamiliaSelecionada);
    control<QLabel>(QStringLiteral("lblVrSaldoCons"))
        ->setText(AmountText::money(cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat(),
                                    AmountText::separator()));
    control<QLabel>(QStringLiteral("lblMensagem"))->clear();
}

void TfrmRecSaldo::dxbTclEnterClick(QObject*)
{
    if (m_purchaseRunning)
        return;
    if (FamiliaSelecionada.isEmpty()) {
        notice(*this, msgPadrao->Msg(QStringLiteral("Inf_Familia")));
        return;
    }
    // One purchase at a time; after the idle timeout the screen is closing.
    if (!LiberaOK)
        return;
    LiberaOK = false;
    if (TempoEsgotado)
        return;
    restartIdleCountdown();
    CodigosFuncao.clear();

    // The menu and the keypad stay disabled, and input means nothing, until the purchase
    // has ended; then the idle countdown starts anew, unless the screen is closing.
    lockForPurchase(true);
    bool ended = false;
    auto endPurchase = [this, &ended] {
        if (ended)
            return;
        ended = true;
        lockForPurchase(false);
        if (!TempoEsgotado)
            restartIdleCountdown();
    };
    struct EndGuard {
        std::function<void()> end;
        ~EndGuard() { end(); }
    } guard{endPurchase};

    QWidget* cardTypes = control(QStringLiteral("PanTipoRece"));
    cardTypes->setVisible(true);
    TipoCartao = 0;
    waitForCardType();
    cardTypes->setVisible(false);
    if (TempoEsgotado)
        return; // walked away at the card type: nothing chosen, the screen closes

    if (TipoCartao == 1)
        CodigosFuncao = creditCodes;
    else if (TipoCartao == 2)
        CodigosFuncao = debitCodes;
    if (TipoCartao == -1) {
        endPurchase();
        notice(*this, PurchaseTexts::cancelled());
        return;
    }

    // The order is what the consumer confirms: the question names it.
    const PurchaseOrder order = takeOrder();
    bool confirmed = false;
    {
        const Mensagemzel::MessageSubject subject(order.summary(AmountText::separator()));
        confirmed = showBox(*this, msgPadrao->Msg(QStringLiteral("CONF")), QStringLiteral("S"), tmPergunta);
    }
    // A timeout while the question was open: the screen is closing.
    if (TempoEsgotado)
        return;
    auto* line = control<QLabel>(QStringLiteral("lblMensagem"));
    if (confirmed) {
        stopIdleCountdown();
        line->setText(msgPadrao->Msg(QStringLiteral("AGUARDE")));
        CardPurchase::Context context{parametros,
                                      *cdsConfTipoRece,
                                      *cdsTipRecConf,
                                      *cdsMovCaixa,
                                      this,
                                      purchaseSupport,
                                      [this] { showNewBalance(); }};
        CardPurchase purchase(std::move(context), order, CodigosFuncao);
        const CardPurchase::Result result = purchase.run();
        const CardPurchase::TerminalOutputs& out = purchase.outputs();
        NsuHostTef = out.nsu;
        AutorizacaoTef = out.authorisation;
        NrCartaoTef = out.cardNumber;
        BancoCartaoTef = out.bankCode;
        RedeTef = out.network;
        endPurchase();
        if (!result.notice.isEmpty()) {
            if (result.end == CardPurchase::End::Failed)
                qCWarning(lcScreen).noquote() << "purchase stopped:" << result.notice;
            notice(*this, result.notice);
        }
    }
    endPurchase();
    line->clear();
    LiberaOK = true;
}
