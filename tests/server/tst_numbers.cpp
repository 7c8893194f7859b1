// The host's number generator: consecutive, padded, and never the same number twice
// when several kiosks reserve at once.
#include "HostConfig.h"
#include "KioskError.h"
#include "SqlConnection.h"
#include "TdtmZelProxCodigo.h"
#include "TestStore.h"

#include <QSet>
#include <QThread>
#include <QtTest>
#include <atomic>

class TestNumbers : public QObject
{
    Q_OBJECT
private slots:
    void reservationsAreConsecutive()
    {
        TestStore store;
        store.createSchema();
        TdtmZelProxCodigo generator(&store.connection());
        const double turn = 46357.25;
        QCOMPARE(generator.PrxMovCaixa(QStringLiteral("0001"), QStringLiteral("001"), turn, 2), QStringLiteral("0000000001"));
        QCOMPARE(generator.PrxMovCaixa(QStringLiteral("0001"), QStringLiteral("001"), turn, 1), QStringLiteral("0000000003"));
        QCOMPARE(generator.PrxMovCaixa(QStringLiteral("0001"), QStringLiteral("002"), turn, 1), QStringLiteral("0000000001"));
        QCOMPARE(generator.PrxMovCaixa(QStringLiteral("0001"), QStringLiteral("001"), turn + 1, 1), QStringLiteral("0000000001"));
        QCOMPARE(generator.PrxDocNFiscEcf(QStringLiteral("BE01")), QStringLiteral("0000000001"));
        QCOMPARE(generator.PrxDocNFiscEcf(QStringLiteral("BE01")), QStringLiteral("0000000002"));
        QVERIFY_THROWS_EXCEPTION(KioskError, generator.reserve(QStringLiteral("X"), 0));
        // Inside the caller's transaction a rollback takes the reservation back on the embedded
        // store; on a server store the reservation stands on its own connection.
        store.connection().beginTrans();
        generator.PrxDocNFiscEcf(QStringLiteral("BE01"));
        store.connection().rollbackTrans();
        const QString next = generator.PrxDocNFiscEcf(QStringLiteral("BE01"));
        QCOMPARE(next, store.engine() == QLatin1String("SQLITE") ? QStringLiteral("0000000003") : QStringLiteral("0000000004"));
        TdtmZelProxCodigo::releasePooledConnections();
    }

    void concurrentKiosksNeverShareANumber()
    {
        TestStore store;
        store.createSchema();
        const QString cs = store.connectionString();
        constexpr int kiosks = 6, each = 40;
        QList<QStringList> issued(kiosks);
        std::atomic<int> failures{0};
        QList<QThread*> threads;
        for (int k = 0; k < kiosks; ++k) {
            threads << QThread::create([&, k] {
                SqlConnection own(QStringLiteral("kiosk%1").arg(k));
                own.setConnectionString(cs);
                try {
                    own.open();
                    for (int i = 0; i < each; ++i) {
                        TdtmZelProxCodigo generator(&own);
                        const QString first = generator.PrxMovCaixa(QStringLiteral("0001"), QStringLiteral("001"), 46357.25, 2);
                        issued[k] << first << QString::number(first.toLongLong() + 1);
                    }
                } catch (const KioskError& e) {
                    qWarning("kiosk %d: %s", k, e.what());
                    ++failures;
                }
                TdtmZelProxCodigo::releasePooledConnections();
            });
            threads.last()->start();
        }
        for (QThread* t : threads) {
            QVERIFY(t->wait(120000));
            delete t;
        }
        QCOMPARE(failures.load(), 0);
        QSet<qint64> all;
        for (const QStringList& l : issued)
            for (const QString& n : l)
                all.insert(n.toLongLong());
        QCOMPARE(all.size(), kiosks * each * 2);
        QCOMPARE(*std::max_element(all.begin(), all.end()), qint64(kiosks * each * 2));
    }
};

QTEST_GUILESS_MAIN(TestNumbers)
#include "tst_numbers.moc"
