#include "HomeLookUpStall.h"

#include "ConsumerDirectory.h"
#include "HomeLoop.h"
#include "HostConfig.h"
#include "TfrmHome.h"

#include <QAbstractButton>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTcpServer>
#include <QTimer>

double homeLookUpStallOnASilentServer(const QString& dataFolder)
{
    // A listening socket that is never read: the kernel completes the connection, the
    // server never says a word, as a store server stuck in a stalled storage.
    QTcpServer silent;
    silent.setMaxPendingConnections(64);
    if (!silent.listen(QHostAddress::LocalHost))
        return -1;
    silent.pauseAccepting();
    const QString store = QStringLiteral("Provider=POSTGRESQL;Host=127.0.0.1;Port=%1;Database=store;"
                                         "User ID=kiosk;Connect Timeout=10")
                              .arg(silent.serverPort());
    HostConfig::instance().setDataFolder(dataFolder);

    TfrmHome home;
    HomeLoop::Services services;
    services.lookUp = [store](const QString& code) { return ConsumerDirectory::findConsumer(store, code); };
    services.serve = [](const DataPacket&) {};
    HomeLoop loop(home, services);
    home.show();
    // The first paint (fonts, the design's pictures) is not the look-up's.
    QElapsedTimer settle;
    settle.start();
    while (settle.elapsed() < 500)
        QCoreApplication::processEvents(QEventLoop::AllEvents, 50);

    QElapsedTimer clock;
    clock.start();
    qint64 last = clock.elapsed(), longest = 0;
    QTimer tick;
    QObject::connect(&tick, &QTimer::timeout, [&] {
        longest = std::max(longest, clock.elapsed() - last);
        last = clock.elapsed();
    });
    tick.start(10);
    for (const char* key : {"dxbTeclado1", "dxbTeclado0", "dxbTeclado1", "dxbTclOK"})
        home.findChild<QAbstractButton*>(QString::fromLatin1(key))->click();
    QCoreApplication::processEvents();
    const QString waiting = home.message();
    QElapsedTimer limit;
    limit.start();
    while (home.message() == waiting && limit.elapsed() < 60000)
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
    return home.message() == waiting ? -1 : double(longest);
}
