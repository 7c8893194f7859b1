// The recharge screen's handlers: wiring of the design's controls, show and
// activation, family menu and paging, amount entry, idle timeout, card type panel.
#include "TfrmRecSaldo.h"

#include "AmountText.h"
#include "ClientDataSet.h"
#include "Clock.h"
#include "Consiste.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "Logging.h"
#include "Mensagemzel.h"
#include "MessagePresenter.h"
#include "ReaderBurstFilter.h"
#include "Srv_kvb52814.h"
#include "StoreWorker.h"
#include "TBlendedButton.h"
#include "TMessages.h"
#include "ui_Cli_kvb52814.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QTimer>

namespace
{
const QString caller = QStringLiteral("Cli_Kvb52814");
const QString schemaCode = QStringLiteral("002");
constexpr int menuSlots = 5;
constexpr int maxDigits = 6;

int tagOf(QObject* sender)
{
    return sender ? sender->property("tag").toInt() : 0;
}

// The virtual key code of a key the screen gives a meaning to (Backspace 8, Enter 13),
// of Tab and Escape, and of digits and letters; 0 for any other key.
int virtualKey(int qtKey)
{
    switch (qtKey) {
    case Qt::Key_Backspace:
        return 8;
    case Qt::Key_Tab:
        return 9;
    case Qt::Key_Return:
    case Qt::Key_Enter:
        return 13;
    case Qt::Key_Escape:
        return 27;
    default:
        return (qtKey >= 0x20 && qtKey <= 0x5A) ? qtKey : 0;
    }
}
} // namespace

void TfrmRecSaldo::wireControls()
{
    auto onClick = [this](const QString& name, void (TfrmRecSaldo::*handler)(QObject*)) {
        auto* button = control<QAbstractButton>(name);
        if (!button) {
            qCWarning(lcScreen) << "design has no control" << name;
            return;
        }
        connect(button, &QAbstractButton::clicked, this,
                [this, button, handler] { runHandler([&] { (this->*handler)(button); }); });
    };
    for (int digit = 0; digit <= 9; ++digit)
        onClick(QStringLiteral("dxbTeclado%1").arg(digit), &TfrmRecSaldo::dxbTeclado1Click);
    onClick(QStringLiteral("dxbTclCorrigir"), &TfrmRecSaldo::dxbTclCorrigirClick);
    onClick(QStringLiteral("dxbTclEnter"), &TfrmRecSaldo::dxbTclEnterClick);
    for (int slot = 1; slot <= 8; ++slot)
        onClick(QStringLiteral("blbMenu%1").arg(slot), &TfrmRecSaldo::blbMenu1Click);
    onClick(QStringLiteral("bbbAcima"), &TfrmRecSaldo::bbbAcimaClick);
    onClick(QStringLiteral("bbbAbaixo"), &TfrmRecSaldo::bbbAbaixoClick);
    onClick(QStringLiteral("bbbVoltar"), &TfrmRecSaldo::bbbVoltarClick);
    onClick(QStringLiteral("BlendedBitBtn1"), &TfrmRecSaldo::BlendedBitBtn1Click);
    onClick(QStringLiteral("blbCredit"), &TfrmRecSaldo::blbCreditClick);
    onClick(QStringLiteral("blbDebt"), &TfrmRecSaldo::blbDebtClick);
    connect(tmrPadrao, &QTimer::timeout, this, &TfrmRecSaldo::idleTick);
    connect(m_idleRest, &QTimer::timeout, this, &TfrmRecSaldo::idleTick);
    connect(m_closeWait, &QTimer::timeout, this, &TfrmRecSaldo::closeWaitTick);
    // Key preview: the screen sees every key of its window before any control does; a
    // person's keys reach the handlers through the gate, a reader's bursts do not.
    m_keyPreview =
        new ReaderBurstFilter([this](const ReaderBurstFilter::Key& key) { keyTyped(key.code, key.text); }, this);
    qApp->installEventFilter(this);
}

void TfrmRecSaldo::runHandler(const std::function<void()>& handler)
{
    ++m_handlerDepth;
    try {
        handler();
    } catch (const std::exception& error) {
        handlerFailed(QString::fromUtf8(error.what()));
    }
    --m_handlerDepth;
    if (m_handlerDepth == 0 && m_closePending && !paidPurchaseRunning()) {
        m_closePending = false;
        done(QDialog::Rejected);
    }
}

void TfrmRecSaldo::handlerFailed(const QString& error)
{
    // The store's or the system's own words stay in the log; the consumer reads the kiosk's.
    qCWarning(lcScreen).noquote() << "screen handler failed:" << error;
    MessagePresenter::instance().notify(tr("Não foi possível concluir a operação agora. Tente novamente em instantes."));
}

void TfrmRecSaldo::closeScreen()
{
    if (m_handlerDepth > 0 || paidPurchaseRunning())
        m_closePending = true;
    else
        done(QDialog::Rejected);
}

bool TfrmRecSaldo::event(QEvent* event)
{
    const bool handled = QDialog::event(event);
    if (event->type() == QEvent::Show && !m_shown) {
        m_shown = true;
        runHandler([this] { FormShow(this); });
        // The kiosk page takes the focus, also where no window manager hands it over.
        activateWindow();
    } else if (event->type() == QEvent::WindowActivate) {
        // A host message box closing hands the focus back without a new activation;
        // the first activation always runs, also after a box the show handler opened.
        const bool fromBox = MessagePresenter::takeReactivation();
        if (!fromBox || !m_activatedOnce) {
            m_activatedOnce = true;
            runHandler([this] { FormActivate(this); });
        }
    }
    return handled;
}

bool TfrmRecSaldo::eventFilter(QObject* watched, QEvent* event)
{
    if (event->type() != QEvent::KeyPress)
        return false;
    auto* widget = qobject_cast<QWidget*>(watched);
    if (!widget || widget->window() != this)
        return false;
    auto* keyEvent = static_cast<QKeyEvent*>(event);
    if (m_keyHandlersAttached)
        m_keyPreview->take(keyEvent->key(), keyEvent->text());
    // Keys mean nothing to the controls of this screen; Escape in particular never closes it.
    return true;
}

// A key the gate let through: the key-down, then the key-press handler, as typed.
void TfrmRecSaldo::keyTyped(int qtKey, const QString& text)
{
    // Released after the screen closed or was locked, or before the balances are shown,
    // it means nothing.
    if (!m_keyHandlersAttached || !isVisible() || m_storeBusy)
        return;
    int key = virtualKey(qtKey);
    runHandler([&] { FormKeyDown(this, key); });
    if (m_keyHandlersAttached && !text.isEmpty()) {
        QChar character = text.front();
        runHandler([&] { FormKeyPress(this, character); });
    }
}

void TfrmRecSaldo::keyPressEvent(QKeyEvent* event)
{
    event->accept();
}

QString TfrmRecSaldo::consumerField(const QString& name)
{
    cdsConsumidor->first();
    return cdsConsumidor->fieldByName(name).asString();
}

// ---- show and activation ----

void TfrmRecSaldo::FormShow(QObject*)
{
    LiberaOK = true;
    const QDate since = Clock::instance().now().date().addDays(-120);
    const QString client = parametros.CDCLIENTE;
    const QString consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    const QString branch = parametros.CDFILIAL;
    // The worker's jobs run in order: the evolution is done before the activation's balances are read.
    setStoreBusy(true);
    m_worker->run([this, client, consumer, branch, since] {
        try {
            Srv_kvb52814::EvoluiSaldo(client, consumer, branch, DateTimeValue::fromDate(since));
        } catch (const std::exception& e) {
            StoreWorker::deliver(this, [this, error = QString::fromUtf8(e.what())] { handlerFailed(error); });
        }
    });
}

void TfrmRecSaldo::FormActivate(QObject*)
{
    setStoreBusy(true);
    loadInBackground(true, [this] { setStoreBusy(false); });
}

void TfrmRecSaldo::RecSaldo()
{
    const QString branch = parametros.CDFILIAL;
    const QString client = consumerField(QStringLiteral("CDCLIENTE"));
    const QString consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    showBalances([&] { return Srv_kvb52814::getSaldoCons(branch, client, consumer); },
                 [&] { return Srv_kvb52814::getTotSalCons(client, consumer); });
}

void TfrmRecSaldo::reloadBalancesInBackground(std::function<void()> then)
{
    loadInBackground(false, std::move(then));
}

// Balances and total (and the receipt printer's port) read on the worker, then shown.
void TfrmRecSaldo::loadInBackground(bool printerPort, std::function<void()> then)
{
    const QString branch = parametros.CDFILIAL;
    const QString till = parametros.CDCAIXA;
    const QString client = consumerField(QStringLiteral("CDCLIENTE"));
    const QString consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    m_worker->run([this, branch, till, client, consumer, printerPort, then] {
        const QVariant balances = Srv_kvb52814::getSaldoCons(branch, client, consumer);
        const QVariant total = Srv_kvb52814::getTotSalCons(client, consumer);
        const QVariant port = printerPort ? Srv_kvb52814::getBuscaPorta(branch, till) : QVariant();
        StoreWorker::deliver(this, [this, balances, total, port, printerPort, branch, till, then] {
            runHandler([&] { showBalances([&] { return balances; }, [&] { return total; }); });
            if (printerPort)
                runHandler([&] {
                    cdsBuscaPorta->setData(Mensagemzel::MensagemMetodo(port, true, 0, QStringLiteral("getBuscaPorta"),
                                                                       caller, branch + QLatin1Char('-') + till,
                                                                       schemaCode));
                    cdsBuscaPorta->first();
                    PortaImpressora = cdsBuscaPorta->isEmpty()
                                          ? QString()
                                          : cdsBuscaPorta->fieldByName(QStringLiteral("CDPORTAIMPNF")).asString();
                });
            then();
        });
    });
}

void TfrmRecSaldo::showBalances(const std::function<QVariant()>& balances, const std::function<QVariant()>& total)
{
    ValorDigitado.clear();
    const QString reset = AmountText::money(0, AmountText::separator());
    m_ui->lblVrSaldo->setText(reset);
    m_ui->lblVrSaldoCons->setText(reset);
    m_ui->lblVrTotSalCons->setText(reset);
    const QString name = consumerField(QStringLiteral("NMCONSUMIDOR"));
    m_ui->lblCaption->setText(name);
    m_ui->blsNome->setText(name);

    const QString branch = parametros.CDFILIAL;
    const QString client = consumerField(QStringLiteral("CDCLIENTE"));
    const QString consumer = consumerField(QStringLiteral("CDCONSUMIDOR"));
    cdsSALDOCONS->setData(Mensagemzel::MensagemMetodo(balances(), true, 0, QStringLiteral("getSaldoCons"), caller,
                                                      branch + QLatin1Char('-') + client + QLatin1Char('-') + consumer,
                                                      schemaCode));

    if (cdsSALDOCONS->isEmpty()) {
        // No family to recharge: only the back button and the idle timeout remain.
        for (int digit = 0; digit <= 9; ++digit)
            if (auto* key = control(QStringLiteral("dxbTeclado%1").arg(digit)))
                key->setEnabled(false);
        m_ui->dxbTclCorrigir->setEnabled(false);
        m_ui->dxbTclEnter->setEnabled(false);
        m_keyHandlersAttached = false;
        return;
    }

    const bool pages = cdsSALDOCONS->recordCount() > menuSlots;
    m_ui->bbbAcima->setVisible(pages);
    m_ui->bbbAbaixo->setVisible(pages);
    // The reloaded rows arrive without their numbers; the menu finds its rows by them.
    PrimeiraCarga = true;
    CarregaMenu();

    cdsTotSalCons->setData(Mensagemzel::MensagemMetodo(total(), true, 0,
                                                       QStringLiteral("getTotSalCons"), caller,
                                                       client + QLatin1Char('-') + consumer, schemaCode));
    cdsTotSalCons->first();
    // A failed total query comes back as an empty set: the total then reads 0.
    const double sum =
        cdsTotSalCons->isEmpty() ? 0.0 : cdsTotSalCons->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat();
    m_ui->lblVrTotSalCons->setText(AmountText::money(sum, AmountText::separator()));
}

// ---- family menu ----

void TfrmRecSaldo::numberFamilyRows()
{
    int count = 0;
    for (cdsSALDOCONS->first(); !cdsSALDOCONS->eof(); cdsSALDOCONS->next()) {
        ++count;
        cdsSALDOCONS->edit();
        cdsSALDOCONS->fieldByName(QStringLiteral("NRBUTTON")).setAsString(Consiste::Ajusta(QString::number(count), 3));
        cdsSALDOCONS->post();
    }
}

void TfrmRecSaldo::CarregaMenu()
{
    if (PrimeiraCarga) {
        numberFamilyRows();
        PrimeiraCarga = false;
    }
    for (int slot = 1; slot <= menuSlots; ++slot) {
        const QString key = Consiste::Ajusta(QString::number(InicioMenu + slot), 3);
        if (!cdsSALDOCONS->locate(QStringLiteral("NRBUTTON"), key))
            continue; // a slot without a row keeps what it shows
        auto* button = control<TBlendedButton>(QStringLiteral("blbMenu%1").arg(slot));
        button->setText(cdsSALDOCONS->fieldByName(QStringLiteral("NMFAMILISALD")).asString());
        const QString code = cdsSALDOCONS->fieldByName(QStringLiteral("CDFAMILISALD")).asString();
        bool whole = false;
        const int tag = code.trimmed().toInt(&whole);
        if (!whole)
            throw DataSetError(QStringLiteral("'%1' is not a valid integer value (family code)").arg(code));
        button->setTag(tag);
        button->setVisible(true);
        control(QStringLiteral("blsFundoMenu%1").arg(slot))->setVisible(true);
    }
}

void TfrmRecSaldo::showFamilyBalance()
{
    const double balance = cdsSALDOCONS->fieldByName(QStringLiteral("VRSALDCONFAM")).asFloat();
    m_ui->lblVrSaldoCons->setText(AmountText::money(balance, AmountText::separator()));
}

void TfrmRecSaldo::locateChosenFamily()
{
    if (!FamiliaSelecionada.isEmpty())
        cdsSALDOCONS->locate(QStringLiteral("CDFAMILISALD"), FamiliaSelecionada);
}

void TfrmRecSaldo::blbMenu1Click(QObject* sender)
{
    if (TempoEsgotado || m_purchaseRunning)
        return;
    restartIdleCountdown();
    FamiliaSelecionada = Consiste::Ajusta(QString::number(tagOf(sender)), 3);
    locateChosenFamily();
    showFamilyBalance();
}

void TfrmRecSaldo::moveMenu(int step)
{
    if (TempoEsgotado || m_purchaseRunning)
        return;
    restartIdleCountdown();
    const bool canMove = step < 0 ? InicioMenu > 0 : InicioMenu + menuSlots < cdsSALDOCONS->recordCount();
    if (!canMove)
        return;
    InicioMenu += step;
    CarregaMenu();
    locateChosenFamily();
}

void TfrmRecSaldo::bbbAcimaClick(QObject*)
{
    moveMenu(-1);
}

void TfrmRecSaldo::bbbAbaixoClick(QObject*)
{
    moveMenu(+1);
}

// ---- amount entry ----

void TfrmRecSaldo::showAmount()
{
    m_ui->lblVrSaldo->setText(AmountText::fromDigits(ValorDigitado, AmountText::separator()));
}

void TfrmRecSaldo::dxbTeclado1Click(QObject* sender)
{
    if (!m_keyHandlersAttached)
        return;
    QChar character(ushort(tagOf(sender) & 0xFF));
    FormKeyPress(sender, character);
}

void TfrmRecSaldo::FormKeyPress(QObject*, QChar& key)
{
    const qsizetype before = ValorDigitado.size();
    if (key < QLatin1Char('0') || key > QLatin1Char('9') || TempoEsgotado || m_purchaseRunning)
        return;
    restartIdleCountdown();
    if (before >= maxDigits) {
        key = QChar(); // swallowed: the amount stays as it is
        return;
    }
    ValorDigitado.append(key);
    showAmount();
}

void TfrmRecSaldo::FormKeyDown(QObject*, int& key)
{
    if (key == 8)
        dxbTclCorrigirClick(m_ui->dxbTclCorrigir);
    if (key == 13)
        dxbTclEnterClick(m_ui->dxbTclEnter);
}

void TfrmRecSaldo::dxbTclCorrigirClick(QObject*)
{
    if (TempoEsgotado || m_purchaseRunning)
        return;
    restartIdleCountdown();
    ValorDigitado.chop(1);
    showAmount();
}

// ---- idle timeout and leaving ----

void TfrmRecSaldo::restartIdleCountdown()
{
    m_idleRest->stop();
    tmrPadrao->stop();
    tmrPadrao->start();
    m_idleSince = Clock::instance().now();
}

void TfrmRecSaldo::stopIdleCountdown()
{
    m_idleRest->stop();
    tmrPadrao->stop();
}

void TfrmRecSaldo::idleTick()
{
    const qint64 left = tmrPadrao->interval() - m_idleSince.msecsTo(Clock::instance().now());
    if (left > 0) {
        m_idleRest->start(int(left));
        return;
    }
    m_idleRest->stop();
    runHandler([this] { tmrPadraoTimer(tmrPadrao); });
}

void TfrmRecSaldo::tmrPadraoTimer(QObject*)
{
    m_ui->lblMensagem->setText(msgPadrao->Msg(QStringLiteral("TEMP_ESG")));
    TempoEsgotado = true;
    // Walked away at the card type panel: the purchase ends as if nothing was chosen.
    if (m_step == PurchaseStep::CardType) {
        m_step = PurchaseStep::None;
        control(QStringLiteral("PanTipoRece"))->setVisible(false);
        endPurchase();
    }
    // A question or notice left open must not keep the screen up for the next person.
    MessagePresenter::instance().dismissOpen();
    // The message stays up for 3 seconds while the screen keeps painting and taking
    // (and ignoring) input; the back button closes at once.
    m_closeWaitSince = Clock::instance().now();
    m_closeWait->start();
}

void TfrmRecSaldo::closeWaitTick()
{
    if (m_closeWaitSince.msecsTo(Clock::instance().now()) < 3000)
        return;
    m_closeWait->stop();
    runHandler([this] { closeScreen(); });
}

void TfrmRecSaldo::bbbVoltarClick(QObject*)
{
    // Back at the card type panel gives the purchase up before anything was charged.
    if (m_step == PurchaseStep::CardType) {
        TipoCartao = -1;
        LiberaOK = true;
        cardTypeAnswered();
    }
    closeScreen();
}

// ---- card type panel ----

void TfrmRecSaldo::blbCreditClick(QObject*)
{
    TipoCartao = 1;
    cardTypeAnswered();
}

void TfrmRecSaldo::blbDebtClick(QObject*)
{
    TipoCartao = 2;
    cardTypeAnswered();
}

void TfrmRecSaldo::BlendedBitBtn1Click(QObject*)
{
    TipoCartao = -1;
    LiberaOK = true;
    cardTypeAnswered();
}
