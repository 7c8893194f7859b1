// The entry and the screen's start-up: lifecycle of the two module-wide
// instances, the parameters and receipt-type files, window geometry, the
// message table and the data sets' field lists.
#include "Cli_kvb52814.h"
#include "DateTimeValue.h"
#include "ClientDataSet.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "KioskMessageBox.h"
#include "Mensagemzel.h"
#include "MessagePresenter.h"
#include "Packets.h"
#include "RecSaldoDataSets.h"
#include "ScreenGeometry.h"
#include "Srv_kvb52814.h"
#include "SqlConnection.h"
#include "TMessages.h"
#include "TestStore.h"
#include "ModuleInstances.h"
#include "TfrmRecSaldo.h"
#include "TrdmRecSaldo.h"

#include <QAbstractButton>
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

using Cli_kvb52814::frmRecSaldo;
using Srv_kvb52814::rdmRecSaldo;

class TestEntry : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestStore> m_store;
    std::unique_ptr<QTemporaryDir> m_data;

    QString dataDir() const { return m_data->path(); }

    void writeParameters(const QString& dsDirCad, const QString& skip = QString())
    {
        Packets::parameters(dsDirCad, skip).saveFile(dataDir() + QStringLiteral("/PARAMETROSZEL.CDS"));
    }

    void writeReceiptTypes()
    {
        QDir().mkpath(dataDir() + QStringLiteral("/Dados/Cadastros"));
        DataPacket p(RecSaldoDataSets::confTipoReceFields());
        QVariantList row(p.fields().size());
        row[1] = QStringLiteral("010");
        p.appendRow(row);
        p.saveFile(dataDir() + QStringLiteral("/Dados/Cadastros/ConfTipoRece.cds"));
    }

    // Closes the screen as soon as the modal run has it up, noting what was alive then.
    struct CloseWhenShown
    {
        bool sawScreen = false;
        bool sawModule = false;
        std::function<void(TfrmRecSaldo&)> inspect;
        void arm()
        {
            QTimer::singleShot(0, [this] {
                sawScreen = frmRecSaldo && frmRecSaldo->isVisible();
                sawModule = rdmRecSaldo && rdmRecSaldo->adcRecSaldo->connected();
                if (frmRecSaldo) {
                    if (inspect)
                        inspect(*frmRecSaldo);
                    frmRecSaldo->reject();
                }
            });
        }
    };

private slots:
    void init()
    {
        m_store = std::make_unique<TestStore>(QStringLiteral("SQLITE"));
        m_store->createSchema();
        m_data = std::make_unique<QTemporaryDir>();
        HostConfig::instance().setDataFolder(dataDir());
        HostConfig::instance().setLocale(QStringLiteral("pt_BR"));
        ScreenGeometry::setOverride(QSize(1024, 768));
        writeParameters(dataDir() + QLatin1Char('/'));
        writeReceiptTypes();
    }
    void cleanup()
    {
        QVERIFY(!frmRecSaldo);
        QVERIFY(!rdmRecSaldo);
        m_store.reset();
    }

    void entryFreesBothInstancesAfterANormalReturn()
    {
        CloseWhenShown closer;
        QString consumerName;
        closer.inspect = [&](TfrmRecSaldo& screen) {
            consumerName = screen.cdsConsumidor->fieldByName(QStringLiteral("NMCONSUMIDOR")).asString();
        };
        closer.arm();
        Cli_kvb52814::CriaRecSaldo(PacketVariant::of(Packets::consumer(QStringLiteral("C1"), QStringLiteral("K1"),
                                                                        QStringLiteral("Zé Conceição"))));
        QVERIFY(closer.sawScreen);
        QVERIFY(closer.sawModule);
        QCOMPARE(consumerName, QStringLiteral("Zé Conceição"));
    }

    void entryFailuresReachTheHostWithNothingLeft_data()
    {
        QTest::addColumn<QString>("breakWhat");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("missing field") << "field" << "CDCAIXA not found";
        QTest::newRow("not a packet") << "argument" << "expected a data packet";
        QTest::newRow("unreachable store") << "store" << "connect to";
    }
    void entryFailuresReachTheHostWithNothingLeft()
    {
        QFETCH(QString, breakWhat);
        QFETCH(QString, mentions);
        QVariant argument = PacketVariant::of(Packets::consumer(QStringLiteral("C1"), QStringLiteral("K1"), {}));
        if (breakWhat == QLatin1String("field"))
            writeParameters(dataDir() + QLatin1Char('/'), QStringLiteral("CDCAIXA"));
        else if (breakWhat == QLatin1String("argument"))
            argument = QStringLiteral("not a packet");
        else
            HostConfig::instance().setConnectionString(
                QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Port=1;Database=x;User ID=u;Password=pw"));
        CloseWhenShown closer;
        closer.arm();
        try {
            Cli_kvb52814::CriaRecSaldo(argument);
            QFAIL("the entry returned normally");
        } catch (const KioskError& e) {
            QVERIFY2(e.message().contains(mentions), qPrintable(e.message()));
        }
        QVERIFY(!frmRecSaldo);
        QVERIFY(!rdmRecSaldo);
        QCoreApplication::processEvents(); // the armed closer finds no screen
        QVERIFY(!closer.sawScreen);
    }

    void secondCallStartsAfresh()
    {
        CloseWhenShown first;
        TrdmRecSaldo* firstModule = nullptr;
        first.inspect = [&](TfrmRecSaldo& s) {
            firstModule = rdmRecSaldo;
            s.InicioMenu = 5;
            s.ValorDigitado = QStringLiteral("1250");
            s.FamiliaSelecionada = QStringLiteral("002");
            s.TempoEsgotado = true;
        };
        first.arm();
        const QVariant consumer = PacketVariant::of(Packets::consumer(QString(), QString(), QString()));
        Cli_kvb52814::CriaRecSaldo(consumer);

        CloseWhenShown second;
        second.inspect = [&](TfrmRecSaldo& s) {
            QCOMPARE(s.InicioMenu, 0);
            QVERIFY(s.ValorDigitado.isEmpty());
            QVERIFY(s.FamiliaSelecionada.isEmpty());
            QVERIFY(!s.TempoEsgotado);
            QVERIFY(s.PrimeiraCarga);
            QVERIFY(rdmRecSaldo && rdmRecSaldo->adcRecSaldo->connected());
        };
        second.arm();
        Cli_kvb52814::CriaRecSaldo(consumer);
        QVERIFY(firstModule);
        QVERIFY(second.sawScreen);
    }

    void parametersAreReadInOrderAndTyped()
    {
        TfrmRecSaldo screen;
        screen.InicializaForm(ModuleInstances::dataModule());
        const ParametrosZel& p = screen.parametros;
        QCOMPARE(p.INCOR1, 255);
        QCOMPARE(p.INCOR2, 65280);
        QCOMPARE(p.IDESQUEMA, QStringLiteral("002"));
        QCOMPARE(p.CDFILIAL, QStringLiteral("0001"));
        QCOMPARE(p.CDCAIXA, QStringLiteral("001"));
        QCOMPARE(p.IDTIPOIMPFIS, 3);
        QCOMPARE(p.CDPORTIMPNF1, QStringLiteral("COM2"));
        QCOMPARE(p.UTILIZAIMPFIS, true);
        QCOMPARE(DateTimeValue::toIsoText(p.DTABERCAIX), QStringLiteral("2026-12-01 06:30:00.000"));
        QCOMPARE(p.DSDIRCAD, dataDir() + QLatin1Char('/'));
        QVERIFY(screen.cdsConfTipoRece->active());
        QCOMPARE(screen.cdsConfTipoRece->recordCount(), 1);
        QVERIFY(screen.tmrPadrao->isActive());
        QCOMPARE(screen.tmrPadrao->interval(), 15000);
        QVERIFY(screen.PrimeiraCarga);
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
    }

    void aMissingFieldStopsAtThatFieldWithEarlierOnesCopied()
    {
        writeParameters(dataDir() + QLatin1Char('/'), QStringLiteral("CDLOJA"));
        TfrmRecSaldo screen;
        QVERIFY_THROWS_EXCEPTION(DataSetError, screen.InicializaForm(ModuleInstances::dataModule()));
        QCOMPARE(screen.parametros.CDFILIAL, QStringLiteral("0001"));
        QVERIFY(screen.parametros.CDCAIXA.isEmpty());
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
    }

    void receiptTypeFileNeedsTheTrailingSeparator()
    {
        writeParameters(dataDir()); // "…/tmpXYZ" + "Dados/…" runs together
        TfrmRecSaldo screen;
        screen.InicializaForm(ModuleInstances::dataModule());
        QVERIFY(!screen.cdsConfTipoRece->active());
        QVERIFY(TfrmRecSaldo::receiptTypeFilePath(dataDir()).isEmpty());
        QVERIFY(!TfrmRecSaldo::receiptTypeFilePath(dataDir() + QLatin1Char('/')).isEmpty());
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
    }

    void noParametersFileKeepsDefaults()
    {
        QFile::remove(dataDir() + QStringLiteral("/PARAMETROSZEL.CDS"));
        TfrmRecSaldo screen;
        screen.InicializaForm(ModuleInstances::dataModule());
        QVERIFY(!screen.cdsParametrosZel->active());
        QVERIFY(screen.parametros.CDFILIAL.isEmpty());
        QCOMPARE(screen.parametros.INCOR1, 0);
        QCOMPARE(screen.parametros.DTABERCAIX, 0.0);
        QVERIFY(!screen.cdsConfTipoRece->active());
        QVERIFY(rdmRecSaldo->adcRecSaldo->connected());
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
    }

    void windowGeometry_data()
    {
        QTest::addColumn<QSize>("screenSize");
        QTest::addColumn<QPoint>("topLeft");
        QTest::newRow("640x480") << QSize(640, 480) << QPoint(-80, -60);
        QTest::newRow("799x599 truncates to 0") << QSize(799, 599) << QPoint(0, 0);
        QTest::newRow("1024x768 centred") << QSize(1024, 768) << QPoint(112, 84);
        QTest::newRow("800x600") << QSize(800, 600) << QPoint(0, 0);
    }
    void windowGeometry()
    {
        QFETCH(QSize, screenSize);
        QFETCH(QPoint, topLeft);
        ScreenGeometry::setOverride(screenSize);
        TfrmRecSaldo screen;
        QCOMPARE(screen.size(), QSize(1018, 741));
        screen.InicializaForm(ModuleInstances::dataModule());
        QCOMPARE(screen.size(), QSize(800, 600));
        QCOMPARE(screen.pos(), topLeft);
        // The region was made from the designed size, before the resize.
        QCOMPARE(screen.mask().boundingRect(), QRect(0, 0, 1018, 741));
        QVERIFY(!screen.mask().contains(QPoint(1, 1)));      // rounded corner cut
        QVERIFY(screen.mask().contains(QPoint(799, 599)));   // the other corners show square
        delete rdmRecSaldo;
        rdmRecSaldo = nullptr;
    }

    void messageTableHoldsTheEighteenLinesExactly()
    {
        TfrmRecSaldo screen;
        const QStringList expected = {
            QStringLiteral("VALOR|Valor deve ser informado."),
            QStringLiteral("CONF|Confirma operação para o saldo %s?"),
            QStringLiteral("OPEROK|Operação realizada com sucesso."),
            QStringLiteral("SALDO|Saldo deve ser informado."),
            QStringLiteral("AGUARDE_TEF|Aguarde... Imprimindo cupom Tef."),
            QStringLiteral("CONF_TEF|Operação bloqueada. Configurações do Tef dedicado devem ser parametrizadas."),
            QStringLiteral("AGUARDE|Aguarde..."),
            QStringLiteral("N_PORTA|Porta de impressão dos produtos não parametrizada no sistema de parametrização "
                           "QTR. Realize a paremetrização antes de entrar no Auto atendimento"),
            QStringLiteral("TEMP_ESG|Tempo esgotado."),
            QStringLiteral("OPE_N_REC|Operação bloqueada. Tipos de recebimento cartão crédito/débito devem ser "
                           "parametrizados."),
            QStringLiteral("SALDO_FAMILIA|Família deve ser informada."),
            QStringLiteral("AGUARDE_COMPROVANTE|Aguarde... Imprimindo comprovante de deposito."),
            QStringLiteral("CRED_CX|Credito Caixa "),
            QStringLiteral("CAIXA|Caixa: "),
            QStringLiteral("RECIB_DEP|Recibo de Deposito"),
            QStringLiteral("SALD|Saldo"),
            QStringLiteral("TOT_SALD|Saldo Total"),
            QStringLiteral("Inf_Familia|Operação bloqueada. Família deve ser informada."),
        };
        QCOMPARE(screen.msgPadrao->Messages, expected);
        QCOMPARE(screen.msgPadrao->Msg(QStringLiteral("Inf_Familia")),
                 QStringLiteral("Operação bloqueada. Família deve ser informada."));
        QCOMPARE(screen.msgPadrao->Msg(QStringLiteral("CRED_CX")), QStringLiteral("Credito Caixa "));
        QVERIFY(screen.msgPadrao->Msg(QStringLiteral("INF_FAMILIA")).isEmpty()); // keys are exact
    }

    void dataSetFieldLists()
    {
        TfrmRecSaldo screen;
        screen.cdsMovCaixa->createDataSet();
        const QList<FieldDef> mov = screen.cdsMovCaixa->fields();
        QCOMPARE(mov.size(), 31);
        QCOMPARE(mov.first().name, QStringLiteral("CDFILIAL"));
        QCOMPARE(mov[10].name, QStringLiteral("VRMOVIVEND"));
        QCOMPARE(mov[10].displayLabel, QStringLiteral("Valor"));
        QCOMPARE(mov[10].displayFormat, QStringLiteral("#,##0.00"));
        QCOMPARE(mov[15].type, FieldType::Date);
        QCOMPARE(mov.last().name, QStringLiteral("CDNSUHOSTTEF"));
        QCOMPARE(mov.last().size, 50);
        QVERIFY(!mov[0].visible && mov[9].visible);

        // One inserted record travels with all 31 fields, most of them null; a date field keeps the date only.
        screen.cdsMovCaixa->insert();
        screen.cdsMovCaixa->fieldByName(QStringLiteral("DTMOVIMCAIXA")).setAsDateTime(46000.75);
        screen.cdsMovCaixa->post();
        const DataPacket sent = screen.cdsMovCaixa->data();
        QCOMPARE(sent.fields().size(), 31);
        QCOMPARE(sent.rows().size(), 1);
        QCOMPARE(sent.rows()[0][15].toDouble(), 46000.0);

        const QList<FieldDef> conf = RecSaldoDataSets::confTipoReceFields();
        QCOMPARE(conf.size(), 35);
        QCOMPARE(conf[2].displayLabel, QStringLiteral("Nome"));
        QCOMPARE(conf[26].name, QStringLiteral("DSMESSAGEBUT"));
        QCOMPARE(conf[26].size, 300);
        QCOMPARE(conf[34].name, QStringLiteral("IDSANGRIAAUTO"));
    }

    void realMessageBoxAnswersAndDoesNotReactivateTheScreen()
    {
        MessagePresenter::takeReactivation(); // start clean
        QList<bool> answers;
        // The box is shown, not run: the call returns with it up, and a press answers it.
        const auto ask = [&answers](const QString& text, int kind, const char* button) {
            Mensagemzel::Mensagem(text, QString(), QStringLiteral("N"), kind == tmPergunta ? QStringLiteral("S") : QStringLiteral("N"),
                                  kind, QString(), QStringLiteral("002"), 0, nullptr,
                                  [&answers](bool yes) { answers << yes; });
            QWidget* box = QApplication::activeModalWidget();
            QVERIFY(box);
            QCOMPARE(box->objectName(), QStringLiteral("KioskMessageBox"));
            auto* b = box->findChild<QAbstractButton*>(QString::fromLatin1(button));
            QVERIFY(b);
            // No default button: Enter (a badge reader's, say) answers nothing.
            QTest::keyClick(box, Qt::Key_Return);
            QVERIFY(box->isVisible());
            b->click();
        };
        ask(QStringLiteral("Confirma operação para o saldo %s?"), tmPergunta, "btnNo");
        QCOMPARE(answers, QList<bool>{false});
        QVERIFY(MessagePresenter::takeReactivation());
        QVERIFY(!MessagePresenter::takeReactivation()); // once per closed box
        ask(QStringLiteral("?"), tmPergunta, "btnYes");
        ask(QStringLiteral("Tempo esgotado."), tmAviso, "btnOk");
        QCOMPARE(answers, (QList<bool>{false, true, false}));
        QVERIFY(MessagePresenter::takeReactivation());
    }

    void screenIsTranslated()
    {
        HostConfig::instance().setLocale(QStringLiteral("es_ES"));
        TfrmRecSaldo spanish;
        QCOMPARE(spanish.windowTitle(), QStringLiteral("Recarga de Tarjeta"));
        HostConfig::instance().setLocale(QStringLiteral("pt_BR"));
        TfrmRecSaldo portuguese;
        QCOMPARE(portuguese.windowTitle(), QStringLiteral("Recarga Cartão"));
        QVERIFY(portuguese.findChild<QWidget*>(QStringLiteral("blbMenu5")));
        QVERIFY(portuguese.findChild<QWidget*>(QStringLiteral("dxbTeclado0")));
    }
};

QTEST_MAIN(TestEntry)
#include "tst_entry.moc"
