#include "TfrmRecSaldo.h"
#include "WaitWindow.h"
#include "Wst00002.h"

#include "Clock.h"

#include "ClientDataSet.h"
#include "FontSubstitutes.h"
#include "HostConfig.h"
#include "Logging.h"
#include "RecSaldoDataSets.h"
#include "ScreenGeometry.h"
#include "ServerModule.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TMessages.h"
#include "Trad_utl.h"
#include "StoreWorker.h"
#include "TrdmRecSaldo.h"
#include "ui_Cli_kvb52814.h"

#include <QDir>
#include <QFileInfo>
#include <QPainterPath>
#include <QTimer>

namespace
{
// A configuration file path as the screen uses it: the path when something is there, else empty.
QString existingPath(const QString& path)
{
    return QFileInfo::exists(path) ? path : QString();
}
} // namespace

TfrmRecSaldo::TfrmRecSaldo(QWidget* owner) : QDialog(owner), m_ui(new Ui::TfrmRecSaldo)
{
    ServerModule::initResources();
    FontSubstitutes::install();
    setObjectName(QStringLiteral("frmRecSaldo"));
    m_ui->setupUi(this);
    setWindowFlags(Qt::Dialog | Qt::FramelessWindowHint);

    msgPadrao = new TMessages(QStringLiteral("msgPadrao"), this);
    msgPadrao->loadLines(QStringLiteral(":/msgPadrao.txt"));

    tmrPadrao = new QTimer(this);
    tmrPadrao->setObjectName(QStringLiteral("tmrPadrao"));
    tmrPadrao->setInterval(15000);
    // Never early: a coarse timer may fire 5% before its interval, and idleTick checks the clock.
    tmrPadrao->setTimerType(Qt::PreciseTimer);
    tmrPadrao->start();
    m_idleSince = Clock::instance().now();
    m_idleRest = new QTimer(this);
    m_idleRest->setSingleShot(true);
    m_idleRest->setTimerType(Qt::PreciseTimer);
    m_closeWait = new QTimer(this);
    m_closeWait->setInterval(100); // looks at the clock: tests move it by hand
    m_worker = new StoreWorker(this);

    cdsConsumidor = new ClientDataSet(QStringLiteral("cdsConsumidor"), this);
    cdsSALDOCONS = new ClientDataSet(QStringLiteral("cdsSALDOCONS"), this);
    cdsMovCaixa = new ClientDataSet(QStringLiteral("cdsMovCaixa"), this);
    cdsMovCaixa->setFieldDefs(RecSaldoDataSets::movCaixaFields());
    cdsParametrosZel = new ClientDataSet(QStringLiteral("cdsParametrosZel"), this);
    cdsTipRecConf = new ClientDataSet(QStringLiteral("cdsTipRecConf"), this);
    cdsTotSalCons = new ClientDataSet(QStringLiteral("cdsTotSalCons"), this);
    cdsBuscaPorta = new ClientDataSet(QStringLiteral("cdsBuscaPorta"), this);
    cdsConfTipoRece = new ClientDataSet(QStringLiteral("cdsConfTipoRece"), this);
    cdsConfTipoRece->setFieldDefs(RecSaldoDataSets::confTipoReceFields());

    wireControls();
    FormCreate(this);
}

TfrmRecSaldo::~TfrmRecSaldo()
{
    // A purchase still running on the worker ends before anything it reports to goes away.
    delete m_worker;
    m_worker = nullptr;
}

void TfrmRecSaldo::FormCreate(QObject*)
{
    Trad_utl::Trad(this);
}

void TfrmRecSaldo::changeEvent(QEvent* event)
{
    if (event->type() == QEvent::LanguageChange)
        m_ui->retranslateUi(this);
    QDialog::changeEvent(event);
}

QString TfrmRecSaldo::parametersFilePath()
{
    return existingPath(HostConfig::instance().programFolder() + QStringLiteral("/PARAMETROSZEL.CDS"));
}

QString TfrmRecSaldo::receiptTypeFilePath(const QString& dsDirCad)
{
    const QString relative = QStringLiteral("Dados\\Cadastros\\ConfTipoRece.cds");
    return existingPath(dsDirCad + QString(relative).replace(QLatin1Char('\\'), QDir::separator()));
}

void TfrmRecSaldo::InicializaForm(TrdmRecSaldo& dataModule)
{
    // 1. Rounded window from the designed size; only the top-left corner shows on the final window.
    QPainterPath outline;
    outline.addRoundedRect(QRectF(0, 0, width(), height()), 20, 20);
    setMask(QRegion(outline.toFillPolygon().toPolygon()));

    // 2. Data module and its connection.
    SqlConnection* store = dataModule.adcRecSaldo;
    // While the store's server is being replaced by its standby, calls wait for it: the
    // wait window says so, then shows again what it showed before (or closes).
    connect(store, &SqlConnection::waitingForStore, this, [this] {
        m_textBeforeStoreWait = Wst00002::current() ? Wst00002::current()->text() : QString();
        Wst00002::AtivaProcesso(this, tr("Aguarde... reconectando ao servidor da loja"), parametros.INCOR1,
                                parametros.INCOR2);
    });
    connect(store, &SqlConnection::storeWaitOver, this, [this] {
        if (m_textBeforeStoreWait.isEmpty())
            Wst00002::DesativaProcesso();
        else
            Wst00002::AtivaProcesso(this, m_textBeforeStoreWait, parametros.INCOR1, parametros.INCOR2);
    });
    store->open();

    // 3-4. Parameters file.
    const QString parameters = parametersFilePath();
    if (!parameters.isEmpty()) {
        cdsParametrosZel->loadFromFile(parameters);
        cdsParametrosZel->open();
        parametros.readFrom(*cdsParametrosZel);
    } else {
        qCWarning(lcScreen) << "no PARAMETROSZEL.CDS in the data folder (KIOSK_DATA_DIR or [kiosk] dataFolder):"
                            << HostConfig::instance().programFolder();
    }

    // 5. Receipt-type file: DSDIRCAD runs straight into the relative path.
    const QString receiptTypes = receiptTypeFilePath(parametros.DSDIRCAD);
    if (!receiptTypes.isEmpty()) {
        cdsConfTipoRece->loadFromFile(receiptTypes);
        cdsConfTipoRece->open();
    } else {
        qCInfo(lcScreen) << "no receipt-type file under" << parametros.DSDIRCAD;
    }

    // 6. Size.
    resize(width(), 600);
    resize(800, 600);

    // 7. The window sits centred on the screen. On a screen smaller than the window the
    // offset is negative (integer division truncating towards zero), cutting it equally on both sides.
    const QSize screen = ScreenGeometry::size();
    move((screen.width() - width()) / 2, (screen.height() - height()) / 2);

    // 8. Idle timer: already counting since creation; starting it again would restart the countdown.
    if (!tmrPadrao->isActive())
        restartIdleCountdown();

    // 9. State.
    TempoEsgotado = false;
    PrimeiraCarga = true;
    InicioMenu = 0;
}
