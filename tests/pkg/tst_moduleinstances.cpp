// The module-wide instances live only inside one call of the entry: a nested
// call is refused without touching the running call's screen and data module,
// and a tool's server session cannot replace the screen's data module.
#include "Cli_kvb52814.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleInstances.h"
#include "Packets.h"
#include "ScreenGeometry.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TestStore.h"
#include "TfrmRecSaldo.h"
#include "TrdmRecSaldo.h"

#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>

using Cli_kvb52814::frmRecSaldo;
using Srv_kvb52814::rdmRecSaldo;

class TestModuleInstances : public QObject
{
    Q_OBJECT

    std::unique_ptr<TestStore> m_store;
    QTemporaryDir m_data;

    QVariant consumer() const
    {
        return PacketVariant::of(Packets::consumer(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("Ana")));
    }

private slots:
    void init()
    {
        m_store = std::make_unique<TestStore>(QStringLiteral("SQLITE"));
        m_store->createSchema();
        HostConfig::instance().setDataFolder(m_data.path());
        ScreenGeometry::setOverride(QSize(1024, 768));
    }
    void cleanup()
    {
        QVERIFY(!frmRecSaldo);
        QVERIFY(!rdmRecSaldo);
        QVERIFY(!ModuleInstances::entryRunning());
        m_store.reset();
    }

    void nestedEntryCallIsRefusedAndTheOuterCallCarriesOn()
    {
        QString nestedError;
        TrdmRecSaldo* outerModule = nullptr;
        bool outerStillConnected = false;
        bool sessionRefused = false;
        QTimer::singleShot(0, [&] {
            outerModule = rdmRecSaldo;
            try {
                Cli_kvb52814::CriaRecSaldo(consumer());
            } catch (const KioskError& e) {
                nestedError = e.message();
            }
            try {
                ModuleInstances::ServerSession replacing;
            } catch (const KioskError&) {
                sessionRefused = true;
            }
            outerStillConnected = rdmRecSaldo == outerModule && rdmRecSaldo->adcRecSaldo->connected() &&
                                  frmRecSaldo && frmRecSaldo->isVisible();
            frmRecSaldo->done(QDialog::Rejected);
        });
        Cli_kvb52814::CriaRecSaldo(consumer());
        QVERIFY2(nestedError.contains(QStringLiteral("already open")), qPrintable(nestedError));
        QVERIFY(sessionRefused);
        QVERIFY(outerModule);
        QVERIFY(outerStillConnected);
    }

    void everyCallFreesBothInstancesAndTheNextStartsAfresh()
    {
        for (int call = 0; call < 2; ++call) {
            bool fresh = false;
            QTimer::singleShot(0, [&] {
                fresh = frmRecSaldo && rdmRecSaldo && frmRecSaldo->ValorDigitado.isEmpty() && frmRecSaldo->InicioMenu == 0;
                frmRecSaldo->ValorDigitado = QStringLiteral("123");
                frmRecSaldo->InicioMenu = 2;
                frmRecSaldo->done(QDialog::Rejected);
            });
            Cli_kvb52814::CriaRecSaldo(consumer());
            QVERIFY(fresh);
            QVERIFY(!frmRecSaldo && !rdmRecSaldo);
        }
        // A failing call (not a packet) frees everything too, and the next is not refused.
        QVERIFY_THROWS_EXCEPTION(KioskError, Cli_kvb52814::CriaRecSaldo(QVariant(42)));
        QVERIFY(!ModuleInstances::entryRunning());
    }

    void serverSessionOpensAndFreesTheDataModule()
    {
        {
            ModuleInstances::ServerSession session;
            QCOMPARE(&session.dataModule(), rdmRecSaldo);
            QVERIFY(rdmRecSaldo->adcRecSaldo->connected());
        }
        QVERIFY(!rdmRecSaldo);
        HostConfig::instance().setConnectionString(QStringLiteral("Provider=SQLITE;Data Source=/nonexistent/x/store.db"));
        QVERIFY_THROWS_EXCEPTION(KioskError, ModuleInstances::ServerSession());
        QVERIFY(!rdmRecSaldo);
    }
};

QTEST_MAIN(TestModuleInstances)
#include "tst_moduleinstances.moc"
