// Where `kiosk --demo` finds its store, and the refusal to open (and so create)
// an SQLite store that is not there.
#include "KioskError.h"
#include "StoreLocator.h"

#include <QDir>
#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace
{
void touch(const QString& file)
{
    QDir().mkpath(QFileInfo(file).path());
    QFile f(file);
    QVERIFY(f.open(QIODevice::WriteOnly));
}

QString refusal(const QString& connectionString)
{
    try {
        StoreLocator::requireExistingStore(connectionString);
    } catch (const KioskError& e) {
        return e.message();
    }
    return QString();
}
} // namespace

class TestStoreLocator : public QObject
{
    Q_OBJECT

    QTemporaryDir m_dir;
    QString path(const char* relative) const { return m_dir.filePath(QString::fromLatin1(relative)); }

private slots:
    void findsTheProjectsDemoStoreFromAnyFolder()
    {
        const QString program = path("project/build/bin");
        QDir().mkpath(program);
        QDir().mkpath(path("elsewhere"));
        QCOMPARE(StoreLocator::findDemoFolder(program, path("elsewhere")), QString());

        touch(path("elsewhere/demo-data/store.db"));
        QCOMPARE(StoreLocator::findDemoFolder(program, path("elsewhere")), path("elsewhere/demo-data"));

        // The project's own store comes first, whatever the current folder.
        touch(path("project/demo-data/store.db"));
        QCOMPARE(StoreLocator::findDemoFolder(program, path("elsewhere")), path("project/demo-data"));
        QCOMPARE(StoreLocator::findDemoFolder(program, path("project")), path("project/demo-data"));
    }

    // kiosk --demo reads the configuration ./demo.sh wrote beside the store it uses,
    // never one beside a store it does not use.
    void findsTheDemoConfiguration()
    {
        const QString program = path("conf/build/bin");
        QDir().mkpath(program);
        touch(path("conf-cwd/demo-data/kiosk.conf"));
        QCOMPARE(StoreLocator::findDemoConfig(program, path("conf-cwd")), QString()); // no store beside it
        touch(path("conf-cwd/demo-data/store.db"));
        QCOMPARE(StoreLocator::findDemoConfig(program, path("conf-cwd")), path("conf-cwd/demo-data/kiosk.conf"));
        touch(path("conf/demo-data/store.db"));
        QCOMPARE(StoreLocator::findDemoConfig(program, path("conf-cwd")), QString()); // the project's store, no file
        touch(path("conf/demo-data/kiosk.conf"));
        QCOMPARE(StoreLocator::findDemoConfig(program, path("conf-cwd")), path("conf/demo-data/kiosk.conf"));
    }

    void namesTheCommandThatCreatesTheDemoStore()
    {
        const QString program = path("fresh/build/bin");
        QDir().mkpath(program);
        QString text = StoreLocator::demoStoreMissing(program, path("cwd"));
        QVERIFY2(text.contains(QStringLiteral("kioskctl init-db")), qPrintable(text));
        QVERIFY2(text.contains(path("fresh/demo-data")) && text.contains(path("cwd/demo-data")), qPrintable(text));

        touch(path("fresh/demo.sh"));
        text = StoreLocator::demoStoreMissing(program, path("cwd"));
        QVERIFY2(text.endsWith(QStringLiteral("create it with ") + path("fresh/demo.sh")), qPrintable(text));
    }

    void neverCreatesAMissingSqliteStore()
    {
        const QString missing = path("nothing/here/store.db");
        const QString text = refusal(QStringLiteral("Provider=SQLITE;Data Source=") + missing);
        QCOMPARE(text, QStringLiteral("the store %1 does not exist; create it with kioskctl init-db (the kiosk "
                                      "never creates a store)")
                           .arg(missing));
        QVERIFY(!QFile::exists(missing));

        QDir().mkpath(path("folder.db"));
        QCOMPARE(refusal(QStringLiteral("Provider=SQLITE;Data Source=") + path("folder.db")),
                 QStringLiteral("the store %1 is not a file").arg(path("folder.db")));
        QCOMPARE(refusal(QStringLiteral("Provider=SQLITE")),
                 QStringLiteral("the store's connection string names no Data Source file"));

        touch(path("store.db"));
        QCOMPARE(refusal(QStringLiteral("provider=sqlite;data source=") + path("store.db")), QString());
        // Server engines are reached over the network: nothing to look for here.
        QCOMPARE(refusal(QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Database=store")), QString());
    }
};

QTEST_GUILESS_MAIN(TestStoreLocator)
#include "tst_storelocator.moc"
