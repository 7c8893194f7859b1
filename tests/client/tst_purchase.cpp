// The purchase on the OK key, headless: every way out of it and the screen after
// each, the terminal's and the printer's arguments, the packet, the recording's
// texts, and the faults after the card was charged. Every fault test ends with
// each approved card transaction either confirmed with exactly one recording or
// undone with none, and each balance equal to the sum of its statement lines.
#include "ScreenUnderTest.h"

#include "CancellationSlip.h"
#include "CliSiTefTerminal.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "PurchaseJournal.h"
#include "RecSaldoDataSets.h"
#include "StandInTerminal.h"
#include "WaitWindow.h"
#include "Wst00001.h"
#include "Wst00002.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFrame>
#include <QLibrary>
#include <QMutex>
#include <QScopeGuard>
#include <QtTest>

// A value of the current row of the test's table.
#define ROW(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

namespace
{
const double turn = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0)));
const QString undoneText = QStringLiteral("O crédito não foi registrado. A cobrança no cartão foi cancelada.");

// What the fakes behind the terminal and printer functions saw and should do.
struct Calls {
    int instancia = 0;
    int finaliza = 0;
    QVariantList terminalArgs;
    QVariantList printerArgs;
    int printerPacketRows = 0;
    QString coo = QStringLiteral("000101");
    QString gnf = QStringLiteral("000202");
    QString printerError;  // thrown by the printer when set
    QString cardNumberOut; // written over the terminal's (masked) card number when set
    double printedAmount = 0;
    std::function<void()> whilePrinting; // runs while the wait window is up for the receipt
    QStringList slips;                   // "port|NSU|amount|card" of each cancellation slip
};
Calls calls;
decltype(Wst00001::CriaDedicado) realCriaDedicado = Wst00001::CriaDedicado;

void countInstancia()
{
    ++calls.instancia;
}
void countFinaliza()
{
    ++calls.finaliza;
}

bool recordingCriaDedicado(QString& nsu, QString& a2, QString& card, QString& bank, QString& a5, qint32& a6,
                           const QString& a7, const QString& a8, const QString& a9, qint32 a10, qint32 a11, Money a12,
                           qint32 a13, const QString& a14, const QString& a15, const QString& a16, const QString& a17,
                           qint32 a18, qint32 a19, Money a20, const QString& a21, const QString& a22, qint32 a23,
                           const QString& a24)
{
    calls.terminalArgs = {a6,  a7,  a8,  a9,          a10, a11, a12.units(), a13, a14, a15,
                          a16, a17, a18, a19, a20.units(), a21, a22,         a23, a24};
    const bool approved = realCriaDedicado(nsu, a2, card, bank, a5, a6, a7, a8, a9, a10, a11, a12, a13, a14, a15, a16,
                                           a17, a18, a19, a20, a21, a22, a23, a24);
    if (approved && !calls.cardNumberOut.isEmpty())
        card = calls.cardNumberOut;
    return approved;
}

void fakePrinter(const QString& a1, const QString& a2, const QString& a3, const QString& a4, const QString& a5,
                 const QString& a6, QString& coo, QString& gnf, ClientDataSet* movement, Money a10, const QString& a11,
                 const QString& a12, const QString& a13, const QString& a14, const QString& a15, const QString& a16,
                 qint32 a17, const QString& a18, const QString& a19, const QString& a20, const QString& a21,
                 const QString& a22, const QString& a23, const QString& a24, bool a25, qint32 a26, qint32 a27)
{
    calls.printerArgs = {a1,  a2,  a3,  a4,  a5,  a6,  coo, gnf, movement->objectName(),
                         a10.units(), a11, a12, a13, a14, a15, a16, a17, a18,
                         a19, a20, a21, a22, a23, a24, a25, a26, a27};
    calls.printerPacketRows = movement->recordCount();
    calls.printedAmount = movement->fieldByName(QStringLiteral("VRMOVIVEND")).asFloat();
    if (calls.whilePrinting)
        onScreenThread(calls.whilePrinting);
    if (!calls.printerError.isEmpty())
        throw KioskError(calls.printerError);
    coo = calls.coo;
    gnf = calls.gnf;
}

void fakeSlipPrinter(const QString& port, const CancellationSlip& slip)
{
    calls.slips << QStringList{port, slip.nsu, slip.amount.text(), slip.cardNumber}.join('|');
}

enum class ReceiptTypes { CreditAndDebit, CreditOnly, NoFile };

DataPacket receiptTypes(bool withDebit)
{
    DataPacket p(RecSaldoDataSets::confTipoReceFields());
    auto row = [&](const char* code, const char* name, const char* fp, const char* kind, const char* fiscal) {
        QVariantList r(p.fields().size());
        r[p.fieldIndex(QStringLiteral("CDFILIAL"))] = QStringLiteral("0001");
        r[p.fieldIndex(QStringLiteral("CDTIPORECE"))] = QString::fromLatin1(code);
        r[p.fieldIndex(QStringLiteral("NMTIPORECE"))] = QString::fromUtf8(name);
        r[p.fieldIndex(QStringLiteral("CDFPIMPFIS"))] = QString::fromLatin1(fp);
        r[p.fieldIndex(QStringLiteral("IDTIPORECE"))] = QString::fromLatin1(kind);
        r[p.fieldIndex(QStringLiteral("DSIMPFISCAL"))] = QString::fromLatin1(fiscal);
        p.appendRow(r);
    };
    row("001", "Dinheiro", "01", "0", "DINHEIRO");
    row("009", "Crédito sem forma", "", "1", "SEM FORMA"); // no fiscal payment code: never chosen
    row("010", "Cartão de crédito", "05", "1", "CARTAO CREDITO");
    if (withDebit)
        row("011", "Cartão de débito", "06", "2", "CARTAO DEBITO");
    return p;
}

// A whole recharge screen with the stand-in terminal, the printer fake, and
// recording retries that do not wait but say what the wait window showed.
struct Purchase {
    explicit Purchase(ReceiptTypes types = ReceiptTypes::CreditAndDebit) : s(3)
    {
        calls = Calls();
        Wst00001::InstanciaFuncoes_Pgt00000 = countInstancia;
        Wst00001::FinalizaFuncoes_Pgt00000 = countFinaliza;
        Wst00001::CriaDedicado = recordingCriaDedicado;
        Wst00001::Compr_CredPessoal = fakePrinter;
        Wst00001::printCancellationSlip = fakeSlipPrinter;
        terminal = std::make_shared<StandInTerminal>(QDir(s.data.path()));
        terminal->atEachWait([this] {
            onScreenThread([this] {
                terminalPrompts << (Wst00002::current() ? Wst00002::current()->text() : QString());
                if (whileTerminalWaits)
                    whileTerminalWaits();
            });
        });
        Wst00001::setPaymentTerminal(terminal);

        ParametrosZel& p = s.screen->parametros;
        p.IDESQUEMA = QStringLiteral("1");
        p.DSENDIPSITEF = QStringLiteral("10.0.0.5");
        p.CDOPERADORLOGIN = QStringLiteral("OP1");
        p.STTOTCOMPCRED = QStringLiteral("T09");
        p.CDPORTAIMPFIS = QStringLiteral("COM1");
        p.IDIMPCOMPCREDPE = QStringLiteral("S");
        p.IDPAISINTEGRA = QStringLiteral("BR");
        p.IDTIPOIMPNF1 = QStringLiteral("2");
        p.CDPORTIMPNF1 = QStringLiteral("COM2");
        p.NMCAIXA = QStringLiteral("Caixa Um");
        p.DSENDEFILI = QStringLiteral("Rua A, 1");
        p.CDINSCMUNIFILI = QStringLiteral("778899");
        p.UTILIZAIMPFIS = true;
        p.DTABERCAIX = turn;
        p.INCOR1 = 0x00FFFFFF;
        p.INCOR2 = 0x00000000;
        if (types != ReceiptTypes::NoFile) {
            s.screen->cdsConfTipoRece->setData(receiptTypes(types == ReceiptTypes::CreditAndDebit));
            s.screen->cdsConfTipoRece->open();
        }
        s.screen->purchaseSupport.sleeper = [this](int ms) {
            onScreenThread([this, ms] {
                sleeps << ms;
                waitTexts << (Wst00002::current() ? Wst00002::current()->text() : QString());
                if (onSleep)
                    onSleep();
            });
        };
    }
    ~Purchase()
    {
        Wst00002::DesativaProcesso();
        Wst00001::restoreDefaults();
        Wst00001::setPaymentTerminal(nullptr);
    }

    // Opens the screen, chooses family 001 and types `amount` digits.
    void ready(const QString& digits = QStringLiteral("2500"))
    {
        QVERIFY(s.open());
        s.click(QStringLiteral("blbMenu1"));
        s.type(digits);
    }

    // Presses OK, then `card`, the card type button, while the panel waits (after
    // `atPanel`), and waits until the purchase has ended.
    void pressOk(const QString& card = QStringLiteral("blbCredit"), const std::function<void()>& atPanel = {})
    {
        s.click(QStringLiteral("dxbTclEnter"));
        if (atPanel)
            atPanel();
        if (s.visible(QStringLiteral("PanTipoRece")))
            s.click(card);
        QVERIFY(ended());
    }
    // The screen's purchase has ended and what it reported has been shown.
    bool ended()
    {
        return QTest::qWaitFor(
            [this] {
                return s.screen->purchaseStep() == TfrmRecSaldo::PurchaseStep::None && !s.screen->runningPurchase() &&
                       !s.screen->purchaseRunning();
            },
            20000);
    }

    int movements(const QString& nsu)
    {
        return s.fixture.store->count(QStringLiteral("FROM MOVCAIXA WHERE CDNSUHOSTTEF = '%1'").arg(nsu));
    }

    // Every approved transaction confirmed with one recording or undone with none,
    // every balance the sum of its statement lines.
    void verifyNothingLost()
    {
        for (const TerminalTransactionsFile::Transaction& t : terminal->transactions()) {
            if (t.state == TerminalState::Confirmed)
                QCOMPARE(movements(t.nsu), 1);
            else if (t.state == TerminalState::Undone || t.state == TerminalState::Declined)
                QCOMPARE(movements(t.nsu), 0);
            else
                QFAIL(qPrintable(QStringLiteral("transaction %1 left pending").arg(t.nsu)));
        }
        const int off = s.fixture.store->count(QStringLiteral(
            "FROM SALDOCONS S WHERE abs(S.VRSALDCONFAM - (SELECT COALESCE(SUM(CASE E.IDTPMOVEXT WHEN 'C' THEN "
            "E.VRMOVEXTCONS ELSE -E.VRMOVEXTCONS END), 0) FROM EXTRATOCONS E WHERE E.CDCLIENTE = S.CDCLIENTE AND "
            "E.CDCONSUMIDOR = S.CDCONSUMIDOR AND E.CDFAMILISALD = S.CDFAMILISALD)) > 0.001"));
        QCOMPARE(off, 0);
        QVERIFY(!readJournal().contains("4111111111111111"));
        const QList<JournalEntry> open = PurchaseJournal(PurchaseJournal::defaultFile()).unfinished();
        QVERIFY(open.isEmpty());
    }

    // The journal's bytes on disk: the database and its write-ahead log.
    QByteArray readJournal()
    {
        QByteArray all;
        for (const QString& suffix : {QString(), QStringLiteral("-wal")}) {
            QFile f(PurchaseJournal::defaultFile() + suffix);
            if (f.open(QIODevice::ReadOnly))
                all += f.readAll();
        }
        return all;
    }

    QVariant packetValue(const char* field)
    {
        ClientDataSet& mov = *s.screen->cdsMovCaixa;
        mov.first();
        return mov.fieldByName(QString::fromLatin1(field)).value();
    }

    // The store refuses cash movements until allowRecording().
    void refuseRecording()
    {
        TestStore& st = *s.fixture.store;
        if (st.engine() == QLatin1String("SQLITE")) {
            st.exec(QStringLiteral("CREATE TRIGGER REFUSE_MOV BEFORE INSERT ON MOVCAIXA "
                                   "BEGIN SELECT RAISE(ABORT, 'store refused the movement'); END"));
        } else {
            st.exec(QStringLiteral("CREATE FUNCTION REFUSE_MOV() RETURNS trigger LANGUAGE plpgsql AS $$ BEGIN "
                                   "RAISE EXCEPTION 'store refused the movement'; END $$"));
            st.exec(QStringLiteral("CREATE TRIGGER REFUSE_MOV BEFORE INSERT ON MOVCAIXA "
                                   "FOR EACH ROW EXECUTE FUNCTION REFUSE_MOV()"));
        }
    }
    void allowRecording()
    {
        TestStore& st = *s.fixture.store;
        st.exec(st.engine() == QLatin1String("SQLITE") ? QStringLiteral("DROP TRIGGER REFUSE_MOV")
                                                       : QStringLiteral("DROP TRIGGER REFUSE_MOV ON MOVCAIXA"));
    }

    ScreenUnderTest s;
    std::shared_ptr<StandInTerminal> terminal;
    QStringList terminalPrompts; // what the wait window showed at each of the terminal's waits
    std::function<void()> whileTerminalWaits;
    QList<int> sleeps;
    QStringList waitTexts;
    std::function<void()> onSleep;
};

// Captures the kiosk's warnings (the recording's failure report carries the texts D and L).
QStringList warnings;
QMutex warningsLock; // the purchase logs from the store worker's thread
void captureWarnings(QtMsgType type, const QMessageLogContext&, const QString& text)
{
    const QMutexLocker locked(&warningsLock);
    if (type == QtWarningMsg)
        warnings << text;
}
} // namespace

class TestPurchase : public QObject
{
    Q_OBJECT

    enum Exit { NoFamily, Busy, TimedOut, Cancelled, Declined, LateTimeout, TerminalFailure, EmptyAmount, Success };

private slots:
    void eachWayOutLeavesTheScreenAsItShould_data()
    {
        QTest::addColumn<int>("exit");
        QTest::addColumn<bool>("liberaOK");
        QTest::addColumn<QString>("message");
        QTest::addColumn<bool>("timerRunning");
        QTest::addColumn<QString>("amount");
        QTest::addColumn<QStringList>("notices");
        QTest::addColumn<int>("transactions");
        const QString before = QStringLiteral("antes");
        QTest::newRow("no family") << int(NoFamily) << true << before << false << "25,00"
                                   << QStringList{"Operação bloqueada. Família deve ser informada."} << 0;
        QTest::newRow("busy") << int(Busy) << false << before << false << "25,00" << QStringList{} << 0;
        QTest::newRow("timed out") << int(TimedOut) << false << before << false << "25,00" << QStringList{} << 0;
        QTest::newRow("cancelled") << int(Cancelled) << true << before << true << "25,00"
                                   << QStringList{"Recebimento Cancelado."} << 0;
        QTest::newRow("declined") << int(Declined) << true << "" << true << "25,00" << QStringList{} << 0;
        // Walked away at the card type panel: nothing chosen, the screen closing.
        QTest::newRow("late timeout") << int(LateTimeout) << false << "Tempo esgotado." << true << "25,00"
                                      << QStringList{} << 0;
        // Every purchase that ended gives the next 15 seconds anew: the screen never stays up untouched.
        QTest::newRow("terminal failure") << int(TerminalFailure) << true << "" << true << "25,00"
                                          << QStringList{"Pagamento não aprovado. O cartão não foi cobrado."} << 1;
        // Erased to nothing: nothing to charge, and the terminal is never asked.
        QTest::newRow("empty amount") << int(EmptyAmount) << true << before << true << ""
                                      << QStringList{"Valor deve ser informado."} << 0;
        QTest::newRow("success") << int(Success) << true << "" << true << "0,00" << QStringList{} << 1;
    }
    void eachWayOutLeavesTheScreenAsItShould()
    {
        QFETCH(int, exit);
        QFETCH(bool, liberaOK);
        QFETCH(QString, message);
        QFETCH(bool, timerRunning);
        QFETCH(QString, amount);
        QFETCH(QStringList, notices);
        QFETCH(int, transactions);

        Purchase p;
        p.ready(exit == EmptyAmount ? QStringLiteral("25<<") : QStringLiteral("2500"));
        TfrmRecSaldo& screen = *p.s.screen;
        auto* line = screen.control<QLabel>(QStringLiteral("lblMensagem"));
        line->setText(QStringLiteral("antes"));
        screen.tmrPadrao->stop(); // the flow's own restart shows as a running timer
        QString card = QStringLiteral("blbCredit");
        std::function<void()> atPanel;
        switch (exit) {
        case NoFamily:
            screen.FamiliaSelecionada.clear();
            break;
        case Busy:
            screen.LiberaOK = false;
            break;
        case TimedOut:
            screen.TempoEsgotado = true;
            break;
        case Cancelled:
            card = QStringLiteral("BlendedBitBtn1");
            break;
        case Declined:
            p.s.messages.nextAnswer = false;
            break;
        case LateTimeout:
            // The idle timeout runs while the panel waits; a card pressed after it counts for nothing.
            atPanel = [&] { screen.runHandler([&] { screen.tmrPadraoTimer(&screen); }); };
            break;
        case TerminalFailure:
            HostConfig::instance().terminal().mode = QStringLiteral("decline");
            break;
        default:
            break;
        }
        p.pressOk(card, atPanel);

        QCOMPARE(screen.LiberaOK, liberaOK);
        QCOMPARE(line->text(), message);
        QCOMPARE(screen.tmrPadrao->isActive(), timerRunning);
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldo")), amount);
        QCOMPARE(p.s.messages.notices, notices);
        QCOMPARE(p.terminal->transactions().size(), transactions);
        QVERIFY(!Wst00002::current());
        if (exit >= Cancelled) {
            QVERIFY(!p.s.visible(QStringLiteral("PanTipoRece")));
            QVERIFY(screen.control(QStringLiteral("PanFamilia"))->isEnabled());
            QVERIFY(screen.control(QStringLiteral("pnlVrSaldo"))->isEnabled());
        }
        QCOMPARE(screen.FamiliaSelecionada, exit == NoFamily ? QString() : QStringLiteral("001"));
        // The terminal functions are released whenever they were prepared.
        QCOMPARE(calls.finaliza, calls.instancia);
        if (exit == EmptyAmount)
            QCOMPARE(calls.instancia, 0);
        if (exit == Success) {
            QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), QStringLiteral("25,00"));
            QCOMPARE(p.terminal->transactions().first().state, TerminalState::Confirmed);
            QCOMPARE(screen.CodigosFuncao, QStringLiteral("[10;15;24;27;28;29;31;32;33;40]"));
            // The terminal's own prompts were in the wait window while it waited.
            QCOMPARE(p.terminalPrompts, (QStringList{"Insira ou aproxime o cartão", "Digite a senha"}));
        }
        p.verifyNothingLost();
    }

    // Whatever the consumer (or the next person) touches while a purchase waits, the card is
    // charged, the receipt printed and the store credited with what was confirmed: 25,00 to
    // family 001. Nothing restarts the idle countdown either.
    void inputDuringAPurchaseChangesNothing_data()
    {
        QTest::addColumn<QString>("wait");
        for (const char* wait : {"card type panel", "confirmation question", "terminal waiting for the card",
                                 "wait window while printing", "wait before a recording retry"})
            QTest::newRow(wait) << QString::fromLatin1(wait);
    }
    void inputDuringAPurchaseChangesNothing()
    {
        QFETCH(QString, wait);
        Purchase p;
        p.ready();
        TfrmRecSaldo& screen = *p.s.screen;
        int meddled = 0;
        bool restarted = false;
        auto meddle = [&] {
            if (meddled++)
                return;
            screen.tmrPadrao->stop(); // only a restart by the input below can start it
            p.s.type(QStringLiteral("9#9<1>"));
            p.s.click(QStringLiteral("blbMenu2"));
            p.s.click(QStringLiteral("bbbAbaixo"));
            p.s.click(QStringLiteral("dxbTclCorrigir"));
            p.s.click(QStringLiteral("dxbTclEnter"));
            restarted = screen.tmrPadrao->isActive();
        };
        if (wait == QLatin1String("card type panel")) {
            p.pressOk(QStringLiteral("blbCredit"), meddle);
        } else {
            if (wait == QLatin1String("confirmation question"))
                p.s.messages.whileAsking = meddle;
            else if (wait == QLatin1String("terminal waiting for the card"))
                p.whileTerminalWaits = meddle;
            else if (wait == QLatin1String("wait window while printing"))
                calls.whilePrinting = meddle;
            else {
                p.refuseRecording();
                p.onSleep = [&] {
                    meddle();
                    p.allowRecording();
                };
            }
            p.pressOk();
        }

        QVERIFY(meddled > 0);
        QVERIFY(!restarted);
        QCOMPARE(calls.terminalArgs.at(6), QVariant(25.0));  // the amount
        QCOMPARE(calls.terminalArgs.at(14), QVariant(25.0)); // the amount again
        QCOMPARE(calls.terminalArgs.at(18), QVariant("[Compra de Créd,00000000,1,25,00]"));
        QCOMPARE(calls.printedAmount, 25.0);
        TestStore& st = *p.s.fixture.store;
        const QString nsu = p.terminal->transactions().first().nsu;
        QCOMPARE(
            st.scalar(QStringLiteral("SELECT VRMOVIVEND FROM MOVCAIXA WHERE CDNSUHOSTTEF = '%1'").arg(nsu)).toDouble(),
            25.0);
        QCOMPARE(st.count(QStringLiteral("FROM EXTRATOCONS WHERE CDFAMILISALD = '001' AND VRMOVEXTCONS = 25")), 1);
        QCOMPARE(st.count(QStringLiteral("FROM EXTRATOCONS WHERE CDFAMILISALD <> '001'")), 0);
        QCOMPARE(screen.FamiliaSelecionada, QStringLiteral("001"));
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), QStringLiteral("25,00"));
        p.verifyNothingLost();
    }

    // However a purchase ends, the consumer gets a full 15 seconds from its end: a purchase
    // that took 10 s of the clock does not leave a countdown about to run out, nor a stopped one.
    void idleCountdownStartsAnewWhenAPurchaseEnds_data()
    {
        QTest::addColumn<QString>("end");
        for (const char* end : {"cancelled", "declined", "terminal refused", "printer failure", "undone", "success"})
            QTest::newRow(end) << QString::fromLatin1(end);
    }
    void idleCountdownStartsAnewWhenAPurchaseEnds()
    {
        QFETCH(QString, end);
        Purchase p;
        p.ready();
        TfrmRecSaldo& screen = *p.s.screen;
        QString card = QStringLiteral("blbCredit");
        if (end == QLatin1String("cancelled"))
            card = QStringLiteral("BlendedBitBtn1");
        else if (end == QLatin1String("declined"))
            p.s.messages.nextAnswer = false;
        else if (end == QLatin1String("terminal refused"))
            HostConfig::instance().terminal().mode = QStringLiteral("decline");
        else if (end == QLatin1String("printer failure"))
            calls.printerError = QStringLiteral("Impressora sem papel");
        else if (end == QLatin1String("undone"))
            p.refuseRecording();
        p.pressOk(card, [&] { p.s.clock.advanceMs(10000); });

        QVERIFY(screen.tmrPadrao->isActive());
        p.s.clock.advanceMs(14999);
        QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
        QVERIFY(!screen.TempoEsgotado);
        p.s.clock.advanceMs(1);
        QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
        QVERIFY(screen.TempoEsgotado);
        p.s.clock.advanceMs(3000);
        QTRY_VERIFY(!screen.isVisible());
        p.verifyNothingLost();
    }

    // Walked away at the card type panel: "Tempo esgotado.", then the screen closes; no
    // question is left for the next person and nothing is charged.
    void walkingAwayAtTheCardTypeChargesNothingAndCloses()
    {
        Purchase p;
        p.ready();
        TfrmRecSaldo& screen = *p.s.screen;
        p.pressOk(QStringLiteral("blbCredit"), [&] {
            p.s.clock.advanceMs(15000);
            QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
        });
        QVERIFY(p.s.messages.questions.isEmpty());
        QVERIFY(p.s.messages.notices.isEmpty());
        QVERIFY(p.terminal->transactions().isEmpty());
        QCOMPARE(p.s.text(QStringLiteral("lblMensagem")), QStringLiteral("Tempo esgotado."));
        p.s.clock.advanceMs(3000);
        QTRY_VERIFY(!screen.isVisible());
    }

    void enterWhileTheCardTypeIsAskedDoesNothing()
    {
        Purchase p;
        p.ready();
        TfrmRecSaldo& screen = *p.s.screen;
        bool panelStayed = false;
        p.pressOk(QStringLiteral("BlendedBitBtn1"), [&] {
            p.s.type(QStringLiteral(">"));
            panelStayed = p.s.visible(QStringLiteral("PanTipoRece")) && screen.TipoCartao == 0 &&
                          p.s.messages.questions.isEmpty() && p.s.messages.notices.isEmpty();
        });
        QVERIFY(panelStayed);
        QCOMPARE(p.s.messages.notices, QStringList{"Recebimento Cancelado."});
        QVERIFY(p.terminal->transactions().isEmpty());
        QVERIFY(screen.LiberaOK); // a following OK starts a purchase
    }

    void terminalAndPrinterGetTheirArguments_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("card");
        QTest::addColumn<double>("amount");
        QTest::addColumn<QString>("description");
        QTest::addColumn<QString>("codes");
        QTest::newRow("credit 25,00") << "2500"
                                      << "blbCredit" << 25.0 << "[Compra de Créd,00000000,1,25,00]"
                                      << "[10;15;24;27;28;29;31;32;33;40]";
        QTest::newRow("debit 0,01") << "1"
                                    << "blbDebt" << 0.01 << "[Compra de Créd,00000000,1,0,01]"
                                    << "[10;17;18;19;25;31;32;33;40]";
    }
    void terminalAndPrinterGetTheirArguments()
    {
        QFETCH(QString, digits);
        QFETCH(QString, card);
        QFETCH(double, amount);
        QFETCH(QString, description);
        QFETCH(QString, codes);
        Purchase p;
        p.s.balance(QStringLiteral("001"), 0); // the balance before, as shown
        p.ready(digits);
        p.s.clock.set(QDateTime(QDate(2026, 12, 8), QTime(9, 5, 7)));
        p.pressOk(card);

        const QVariantList expectedTerminal{0,     "10.0.0.5", "", "", 0,      0,   amount, 0, "20261208", "090507",
                                            "OP1", codes,      1,  0,  amount, "N", "1",    0, description};
        QCOMPARE(calls.terminalArgs, expectedTerminal);
        const QVariantList expectedPrinter{
            "COM1",       "T09", "",   "0001", "001",  "1", "", "",         "cdsMovCaixa", 0.0, "Maria Consumidora",
            "2612080905", "S",   "BR", "2",    "COM2", 0,   "", "Caixa Um", "Rua A, 1",    "",  "778899",
            "",           "",    true, 0,      0};
        // The question names the family and the amount being confirmed.
        QCOMPARE(
            p.s.messages.questions,
            QStringList{QStringLiteral("Confirma operação para o saldo Família 1, %1?").arg(amount < 1 ? "0,01" : "25,00")});
        QCOMPARE(calls.printerArgs, expectedPrinter);
        QCOMPARE(calls.printerPacketRows, 1);
        p.verifyNothingLost();
    }

    // The card type chooses the payment server's function, and the card payment's own receipt
    // (the stand-in's names the function) follows ours on the same printer; when it cannot be
    // printed the credit still stands and the consumer is told.
    void cardTypeChoosesTheFunctionAndTheTefReceiptFollows_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("printer"); // every port goes there; empty: the receipt's own
        QTest::addColumn<QString>("printed");
        QTest::addColumn<QStringList>("notices");
        QTest::newRow("credit") << "blbCredit" << "" << "CREDITO A VISTA" << QStringList{};
        QTest::newRow("debit") << "blbDebt" << "" << "DEBITO A VISTA" << QStringList{};
        QTest::newRow("printer gone") << "blbDebt" << "/nonexistent/receipts.txt" << ""
                                      << QStringList{"Comprovante não impresso. O crédito foi registrado."};
    }
    void cardTypeChoosesTheFunctionAndTheTefReceiptFollows()
    {
        QFETCH(QString, printed);
        Purchase p;
        HostConfig::instance().printer().allPorts = ROW(QString, printer);
        const auto restore = qScopeGuard([] { HostConfig::instance().printer().allPorts.clear(); });
        p.ready();
        p.pressOk(ROW(QString, card));

        QCOMPARE(p.s.messages.notices, ROW(QStringList, notices));
        QCOMPARE(p.terminal->transactions().value(0).state, TerminalState::Confirmed); // recorded whatever the slip
        QFile file(p.s.data.filePath(QStringLiteral("receipts-COM1.txt")));             // the receipt's port
        const QString text = file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
        QCOMPARE(text.contains(QStringLiteral("VIA CLIENTE")), !printed.isEmpty());
        QVERIFY2(text.contains(printed) && text.contains(QStringLiteral("4111**1111")) == !printed.isEmpty(),
                 qPrintable(text));
        QVERIFY(!text.contains(QStringLiteral("4111111111")) && !text.contains(QStringLiteral("VIA ESTABELECIMENTO")));
        p.verifyNothingLost();
    }

    void packetAndRecordingCarryThePurchase_data()
    {
        QTest::addColumn<QString>("bankCode");
        QTest::addColumn<QString>("card");
        QTest::addColumn<QVariant>("receiptType");
        QTest::addColumn<QVariant>("bankField");
        QTest::addColumn<QVariant>("originalType");
        QTest::newRow("credit with a bank code")
            << "341"
            << "blbCredit" << QVariant("010") << QVariant("341") << QVariant("010");
        QTest::newRow("debit without a bank code") << ""
                                                   << "blbDebt" << QVariant("011") << QVariant() << QVariant();
    }
    void packetAndRecordingCarryThePurchase()
    {
        QFETCH(QString, bankCode);
        QFETCH(QString, card);
        QFETCH(QVariant, receiptType);
        QFETCH(QVariant, bankField);
        QFETCH(QVariant, originalType);
        Purchase p;
        HostConfig::instance().terminal().bankCode = bankCode;
        calls.cardNumberOut = QStringLiteral("5500000000000004"); // a terminal that forgot to mask it
        p.ready();
        p.pressOk(card);

        const QString nsu = p.terminal->transactions().first().nsu;
        QCOMPARE(p.s.screen->cdsMovCaixa->recordCount(), 1);
        QCOMPARE(p.packetValue("CDFILIAL"), QVariant("0001"));
        QCOMPARE(p.packetValue("IDTIPOMOVIVE"), QVariant("E"));
        QCOMPARE(p.packetValue("CDTIPORECE"), receiptType);
        QCOMPARE(p.packetValue("VRMOVIVEND"), QVariant(25.0));
        QCOMPARE(p.packetValue("CDCLIENTE"), QVariant("C1"));
        QCOMPARE(p.packetValue("CDTIPOTROCO"), QVariant(""));
        QCOMPARE(p.packetValue("NRCARTBANCO"), QVariant("5500**0004"));
        QCOMPARE(p.packetValue("CDNSUHOSTTEF"), QVariant(nsu));
        QCOMPARE(p.packetValue("CDBANCARTCR"), bankField);
        QCOMPARE(p.packetValue("CDTIPORECEORIG"), originalType);
        QCOMPARE(p.packetValue("DTMOVIMCAIXA").toDouble(), DateTimeValue::fromDate(QDate(2026, 12, 8)));
        QVERIFY(!p.packetValue("CDCONSUMIDOR").isValid());
        QVERIFY(p.s.screen->BancoCartaoTef.isEmpty());

        // The recording's twelve arguments, as the store holds them.
        TestStore& st = *p.s.fixture.store;
        QCOMPARE(p.movements(nsu), 1);
        QCOMPARE(st.scalar(QStringLiteral("SELECT NRCARTBANCO FROM MOVCAIXA")).toString(),
                 QStringLiteral("5500**0004"));
        QCOMPARE(st.scalar(QStringLiteral("SELECT NRDEPOSICONS FROM EXTRATOCONS WHERE CDCONSUMIDOR = 'K1' AND "
                                          "CDFAMILISALD = '001'"))
                     .toString(),
                 QStringLiteral("2612081000"));
        QCOMPARE(st.count(QStringLiteral("FROM DOCNFISCECF WHERE NRCOODOCNFIS = '000101' AND NRGNFDOCNFIS = '000202'")),
                 1);
        QVERIFY(!p.readJournal().contains("5500000000000004"));
        p.verifyNothingLost();
    }

    void aConfigurationWithoutTheCardTypeStillCharges()
    {
        Purchase p(ReceiptTypes::CreditOnly);
        p.ready();
        p.pressOk(QStringLiteral("blbDebt"));
        QCOMPARE(p.terminal->transactions().size(), 1);
        for (const char* field : {"CDTIPORECE", "NMTIPORECE", "IDTIPORECE", "DSIMPFISCAL", "CDFPIMPFIS"})
            QCOMPARE(p.packetValue(field), QVariant(QString()));
        p.verifyNothingLost();
    }

    void noReceiptTypeFileStopsBeforeTheCard()
    {
        Purchase p(ReceiptTypes::NoFile);
        p.ready();
        p.pressOk();
        QVERIFY(p.terminal->transactions().isEmpty());
        QCOMPARE(p.s.messages.notices.size(), 1);
        QVERIFY(p.s.screen->LiberaOK);
    }

    void aSecondPurchaseSendsItsOwnRecordOnly()
    {
        Purchase p;
        p.ready();
        p.pressOk();
        p.s.clock.advanceMs(60000);
        p.s.type(QStringLiteral("1000"));
        p.pressOk();
        const auto t = p.terminal->transactions();
        QCOMPARE(t.size(), 2);
        QCOMPARE(p.s.screen->cdsMovCaixa->data().rows().size(), 1);
        QCOMPARE(p.packetValue("CDNSUHOSTTEF"), QVariant(t.at(1).nsu));
        QCOMPARE(p.s.fixture.store->count(QStringLiteral("FROM MOVCAIXA")), 2);
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), QStringLiteral("35,00"));
        p.verifyNothingLost();
    }

    void recordingTextsNameTheCall_data()
    {
        QTest::addColumn<QString>("coo");
        QTest::addColumn<QString>("gnf");
        QTest::addColumn<QString>("l");
        QTest::newRow("counters") << "000101"
                                  << "000202"
                                  << "K1-001-2612081000-000101-000202--01/12/2026-08/12/2026";
        QTest::newRow("no counters") << ""
                                     << ""
                                     << "K1-001-2612081000----01/12/2026-08/12/2026";
    }
    void recordingTextsNameTheCall()
    {
        QFETCH(QString, coo);
        QFETCH(QString, gnf);
        QFETCH(QString, l);
        Purchase p;
        calls.coo = coo;
        calls.gnf = gnf;
        p.refuseRecording(); // a failure report spells the call out
        p.ready();
        warnings.clear();
        const QtMessageHandler previous = qInstallMessageHandler(captureWarnings);
        p.pressOk();
        qInstallMessageHandler(previous);
        const QString d = QStringLiteral("Cli_Kvb52814-cdsMovCaixa.data-0001-001-C1-");
        const QString report =
            QStringLiteral("setGravaCompCred failed (caller %1, arguments \"%2\", schema 1)").arg(d, l);
        QVERIFY2(
            std::any_of(warnings.cbegin(), warnings.cend(), [&](const QString& w) { return w.startsWith(report); }),
            qPrintable(warnings.join(QLatin1Char('\n'))));
        p.verifyNothingLost();
    }

    void aRecordingThatKeepsFailingIsRetriedThenUndone()
    {
        Purchase p;
        p.refuseRecording();
        p.s.balance(QStringLiteral("001"), 0);
        p.ready();
        p.pressOk();

        QCOMPARE(p.sleeps, (QList<int>{1000, 2000, 4000}));
        QCOMPARE(p.waitTexts,
                 (QStringList{"Registrando o crédito... tentativa 2 de 4", "Registrando o crédito... tentativa 3 de 4",
                              "Registrando o crédito... tentativa 4 de 4"}));
        QCOMPARE(p.terminal->transactions().first().state, TerminalState::Undone);
        QCOMPARE(p.s.fixture.store->count(QStringLiteral("FROM MOVCAIXA")), 0);
        QCOMPARE(p.s.messages.notices.last(), undoneText);
        QCOMPARE(calls.slips.size(), 1);
        QVERIFY(calls.slips.first().startsWith("COM1|" + p.terminal->transactions().first().nsu + "|25.00|"));
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), QStringLiteral("0,00"));
        QVERIFY(p.s.screen->LiberaOK);
        QVERIFY(!Wst00002::current());
        p.verifyNothingLost();
    }

    void aRecordingThatFailsOnceIsConfirmedOnce()
    {
        Purchase p;
        p.refuseRecording();
        p.onSleep = [&] {
            if (p.sleeps.size() == 1)
                p.allowRecording();
        };
        p.ready();
        p.pressOk();

        QCOMPARE(p.sleeps.size(), 1);
        QCOMPARE(p.terminal->transactions().first().state, TerminalState::Confirmed);
        QCOMPARE(p.s.fixture.store->count(QStringLiteral("FROM MOVCAIXA")), 1);
        QCOMPARE(p.s.messages.notices.last(), QStringLiteral("O crédito foi registrado."));
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), QStringLiteral("25,00"));
        p.verifyNothingLost();
    }

    void aPrinterFailureUndoesTheCardAndRecordsNothing()
    {
        Purchase p;
        calls.printerError = QStringLiteral("Comprovante não impresso. Impressora sem papel");
        p.ready();
        p.pressOk();

        QCOMPARE(p.terminal->transactions().first().state, TerminalState::Undone);
        QCOMPARE(p.s.fixture.store->count(QStringLiteral("FROM MOVCAIXA")), 0);
        QCOMPARE(p.s.fixture.store->count(QStringLiteral("FROM NOVOCODIGO WHERE CDCONTADOR LIKE 'CUPINICIAL%'")), 0);
        QCOMPARE(p.s.messages.notices,
                 QStringList{"Comprovante não impresso. A compra foi cancelada; o cartão não foi cobrado."});
        QVERIFY(p.s.screen->LiberaOK);
        QCOMPARE(p.s.text(QStringLiteral("lblVrSaldo")), QStringLiteral("25,00"));
        QVERIFY(p.s.screen->tmrPadrao->isActive());
        QVERIFY(!Wst00002::current());
        // The receipt may be out in part: the consumer gets a slip saying it is void.
        const QString nsu = p.terminal->transactions().first().nsu;
        QCOMPARE(calls.slips, QStringList{"COM1|" + nsu + "|25.00|4111**1111"});
        p.verifyNothingLost();
    }

    // Nobody answers anything after the confirmation: the store refuses the recording every
    // time, the purchase retries, undoes the card and ends by itself; its notice is dismissed
    // by the countdown and the screen closes for the next person.
    void walkingAwayFromAFailingPurchaseEndsItAndClosesTheScreen()
    {
        Purchase p;
        p.refuseRecording();
        p.ready();
        MessagePresenter::setInstance(nullptr); // the kiosk's own boxes: nothing answers them
        TfrmRecSaldo& screen = *p.s.screen;
        p.s.click(QStringLiteral("dxbTclEnter"));
        p.s.click(QStringLiteral("blbCredit"));
        QWidget* question = QApplication::activeModalWidget();
        QVERIFY(question);
        question->findChild<QAbstractButton*>(QStringLiteral("btnYes"))->click();
        QVERIFY(p.ended());
        QWidget* outcome = QApplication::activeModalWidget();
        QVERIFY(outcome && outcome->isVisible());
        QCOMPARE(outcome->findChild<QLabel*>(QStringLiteral("lblText"))->text(), undoneText);
        QCOMPARE(p.terminal->transactions().first().state, TerminalState::Undone);

        p.s.clock.advanceMs(15000);
        QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
        QTRY_VERIFY(!QApplication::activeModalWidget());
        p.s.clock.advanceMs(3000);
        QTRY_VERIFY(!screen.isVisible());
        MessagePresenter::setInstance(&p.s.messages);
        p.verifyNothingLost();
    }

    // What the consumer does at the card type panel and the question.
    void theConsumersSide_data()
    {
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("closes");
        QTest::addColumn<QStringList>("notices");
        // Back at the panel gives the purchase up, with nothing charged, and leaves.
        QTest::newRow("back at the card type panel") << "back" << true << QStringList{"Recebimento Cancelado."};
        // A choice is a touch: the question that follows gets the full 15 seconds.
        QTest::newRow("card type chosen late") << "late choice" << false << QStringList{};
    }
    void theConsumersSide()
    {
        QFETCH(QString, action);
        QFETCH(bool, closes);
        QFETCH(QStringList, notices);
        const bool chosen = action == QLatin1String("late choice");
        Purchase p;
        p.ready();
        TfrmRecSaldo& screen = *p.s.screen;
        p.s.messages.answerQuestions = false;
        p.s.click(QStringLiteral("dxbTclEnter"));
        p.s.clock.advanceMs(12000);
        const bool restarted = p.s.restartsCountdown([&] {
            p.s.click(chosen ? QStringLiteral("blbCredit") : QStringLiteral("bbbVoltar"));
        });
        if (chosen) {
            QVERIFY(restarted);
            // 3 seconds later the question is still up: the countdown started at the choice.
            p.s.clock.advanceMs(3000);
            QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
            QVERIFY(!screen.TempoEsgotado);
            QCOMPARE(p.s.messages.open.size(), 1);
            p.s.messages.dismissOpen();
        }
        QTRY_COMPARE(screen.isVisible(), !closes);
        QCOMPARE(p.s.messages.notices, notices);
        QVERIFY(p.terminal->transactions().isEmpty());
    }

    // The purchase's life follows one table, on disk as in memory: a step it does not allow
    // is refused and the entry stays as it was.
    void theJournalRefusesStepsThePurchasesLifeDoesNotAllow_data()
    {
        QTest::addColumn<int>("from");
        QTest::addColumn<int>("to");
        QTest::newRow("declined, then recorded") << int(PurchaseState::Declined) << int(PurchaseState::Recorded);
        QTest::newRow("confirmed, then undone") << int(PurchaseState::Confirmed) << int(PurchaseState::Undone);
        QTest::newRow("undone, then confirmed") << int(PurchaseState::Undone) << int(PurchaseState::Confirmed);
        QTest::newRow("never charged, recorded") << int(PurchaseState::Charging) << int(PurchaseState::Recorded);
        QTest::newRow("ordered, confirmed") << int(PurchaseState::Ordered) << int(PurchaseState::Confirmed);
        QTest::newRow("recorded, undone on the terminal") << int(PurchaseState::Recording) << int(PurchaseState::Confirmed);
    }
    void theJournalRefusesStepsThePurchasesLifeDoesNotAllow()
    {
        QFETCH(int, from);
        QFETCH(int, to);
        QTemporaryDir dir;
        PurchaseJournal journal(dir.filePath(QStringLiteral("purchase-journal.db")));
        PurchaseRecord r;
        r.id = PurchaseRecord::newId();
        r.nsu = QStringLiteral("77");
        r.CDFILIAL = QStringLiteral("0001");
        r.CDCAIXA = QStringLiteral("001");
        journal.write(r, PurchaseState(from));
        QVERIFY_THROWS_EXCEPTION(KioskError, journal.write(r, PurchaseState(to)));
        QCOMPARE(int(journal.findKey(r.id)->state), from);
        QVERIFY(!PurchaseStates::allowed(PurchaseState(from), PurchaseState(to)));
    }

    // The order is journalled before the terminal is asked: a journal that cannot be
    // written means the card is never charged.
    void aJournalThatCannotBeWrittenNeverAsksTheTerminal()
    {
        Purchase p;
        // A folder where the journal file should be: nothing can be written to it.
        const QString folder = p.s.data.filePath(QStringLiteral("journal-is-a-folder"));
        QVERIFY(QDir().mkpath(folder));
        p.s.screen->purchaseSupport.journalFile = folder;
        p.ready();
        p.pressOk();
        QVERIFY(p.terminal->transactions().isEmpty());
        QCOMPARE(calls.instancia, 0);
        QCOMPARE(calls.printerArgs.size(), 0);
        QVERIFY(p.s.messages.notices.last().endsWith(
            QStringLiteral("A compra não foi iniciada. O cartão não foi cobrado.")));
        QVERIFY(p.s.screen->LiberaOK);
        p.verifyNothingLost();
    }

    // The card terminal's questions on the screen, through the stand-in library: each kind
    // answered by touch, and given up at each by the back button and by the countdown.
    void terminalQuestionsAreAnsweredOnTheScreen_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("action"); // answer, back, countdown, or the screen closes
        QTest::addColumn<QString>("keys");   // typed on the keypad into a field, '>' the OK key
        QTest::addColumn<QString>("shown");  // what the field shows before its last OK
        QTest::addColumn<QString>("received");
        QTest::addColumn<bool>("charged");
        const char* menu = "menu:Parcelas=À vista,Parcelado";
        const char* question = "question:Confirma a compra?";
        const char* field = "field:CPF=11-11";
        const char* key = "key:Retire o cartão";
        QTest::newRow("menu") << menu << "answer" << "" << "" << "2" << true;
        QTest::newRow("yes/no") << question << "answer" << "" << "" << "0" << true;
        // OK on a field too short does nothing; a digit past its longest is dropped.
        QTest::newRow("field") << field << "answer" << "123>456789012>" << "12345678901" << "12345678901" << true;
        QTest::newRow("secret field") << "secret:Código=4-6" << "answer" << "1234>" << "••••" << "1234" << true;
        QTest::newRow("press a key") << key << "answer" << "" << "" << "" << true;
        for (const char* action : {"back", "countdown", "close"})
            for (const char* script : {menu, question, field, key})
                QTest::newRow(qPrintable(QStringLiteral("%1 at %2").arg(action, script))) << script << action << ""
                                                                                          << "" << "-1" << false;
    }
    void terminalQuestionsAreAnsweredOnTheScreen()
    {
        QFETCH(QString, script);
        QFETCH(QString, action);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(QString, received);
        QFETCH(bool, charged);
        Purchase p;
        TerminalSettings& t = HostConfig::instance().terminal();
        const auto restore = qScopeGuard([saved = t] { HostConfig::instance().terminal() = saved; });
        t.script = script; // the stand-in reads its settings at each call
        TfrmRecSaldo& screen = *p.s.screen;
        p.s.messages.answerQuestions = false;
        p.s.messages.holdNotices = true;
        p.ready();
        p.s.click(QStringLiteral("dxbTclEnter"));
        p.s.click(QStringLiteral("blbCredit"));
        p.s.messages.open.takeFirst()(true); // the purchase's confirmation
        const auto fieldPanel = [&] { return screen.findChild<QFrame*>(QStringLiteral("PanTerminalCampo")); };
        // The terminal's question is up while the purchase waits for it.
        QTRY_VERIFY(screen.runningPurchase() && (screen.findChild<QFrame*>(QStringLiteral("PanTerminalMenu")) ||
                                                 fieldPanel() || !p.s.messages.open.isEmpty()));
        QVERIFY(screen.tmrPadrao->isActive()); // the question gets the full countdown
        if (action == QLatin1String("close")) {
            p.s.screen.reset(); // waits for the purchase: the question open is given up
        } else if (action == QLatin1String("back")) {
            p.s.click(QStringLiteral("bbbVoltar"));
        } else if (action == QLatin1String("countdown")) {
            p.s.clock.advanceMs(15000);
            QMetaObject::invokeMethod(screen.tmrPadrao, "timeout");
        } else if (auto* option = screen.findChild<QAbstractButton*>(QStringLiteral("blbTerminalOpcao2"))) {
            option->click();
        } else if (fieldPanel()) {
            for (qsizetype i = 0; i < keys.size(); ++i) {
                const bool ok = keys.at(i) == QLatin1Char('>');
                if (ok && i + 1 == keys.size())
                    QCOMPARE(p.s.text(QStringLiteral("lblTerminalDigitado")), shown);
                p.s.click(ok ? QStringLiteral("dxbTclEnter") : QStringLiteral("dxbTeclado") + keys.at(i));
            }
        } else {
            p.s.messages.open.takeFirst()(true);
        }
        QVERIFY(!p.s.screen || p.ended());
        char answers[256] = {};
        QLibrary standIn(QStringLiteral(STANDIN_LIBRARY));
        const auto answered = reinterpret_cast<int (*)(char*, int)>(standIn.resolve("StandInAnswersReceived"));
        QVERIFY(answered);
        answered(answers, sizeof answers);
        QCOMPARE(QString::fromUtf8(answers), received);
        QCOMPARE(p.terminal->transactions().size(), charged ? 1 : 0);
        if (p.s.screen)
            QCOMPARE(p.s.text(QStringLiteral("lblVrSaldoCons")), charged ? QStringLiteral("25,00") : QStringLiteral("0,00"));
        if (!charged && p.s.screen) {
            QCOMPARE(p.s.messages.notices.last(), QStringLiteral("Pagamento não aprovado. O cartão não foi cobrado."));
            p.s.clock.advanceMs(3000);
            QTRY_VERIFY(!screen.isVisible());
        }
        p.verifyNothingLost();
    }
};

QTEST_MAIN(TestPurchase)
#include "tst_purchase.moc"
