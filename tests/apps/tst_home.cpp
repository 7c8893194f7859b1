// The home screen and the kiosk's day around it: codes from the keypad and from a
// keyboard-wedge reader, unknown codes, one consumer at a time while the recharge
// screen runs, the journal settled after each consumer, the consumer's language.
#include "HomeLoop.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "TfrmHome.h"
#include "Trad_utl.h"

#include <QAbstractButton>
#include <QLabel>
#include <QTimer>
#include <QtTest>

namespace
{
DataPacket consumerPacket(const QString& code)
{
    DataPacket packet({FieldDef::make(QStringLiteral("CDCONSUMIDOR"), FieldType::String, 21)});
    packet.rows().append({code});
    return packet;
}

// The store and the module as the home loop sees them, answering on cue.
struct FakeKiosk {
    QStringList known{QStringLiteral("101")};
    bool storeDown = false;
    bool screenFails = false;
    QStringList served;
    QStringList languagesSeen;
    int settled = 0;
    std::function<void()> whileServing;
    // Jobs sent away from the screen's thread wait here until released, when holding.
    bool holdJobs = false;
    QList<std::pair<std::function<void()>, std::function<void()>>> held;
    void releaseOne()
    {
        auto [job, done] = held.takeFirst();
        job();
        done();
    }

    HomeLoop::Services services()
    {
        HomeLoop::Services s;
        s.lookUp = [this](const QString& code) -> std::optional<DataPacket> {
            if (storeDown)
                throw KioskError(QStringLiteral("store unreachable"));
            if (!known.contains(code) && !known.contains(QStringLiteral("*")))
                return std::nullopt;
            return consumerPacket(code);
        };
        s.serve = [this](const DataPacket& consumer) {
            served << consumer.rows().value(0).value(0).toString();
            languagesSeen << Trad_utl::language();
            if (whileServing)
                whileServing();
            if (screenFails)
                throw KioskError(QStringLiteral("PARAMETROSZEL.CDS: field CDFILIAL missing"));
        };
        s.settle = [this] {
            ++settled;
            return 0;
        };
        s.background = [this](std::function<void()> job, std::function<void()> done) {
            if (!holdJobs) {
                job();
                done();
                return;
            }
            held.append({std::move(job), std::move(done)});
        };
        return s;
    }
};

void press(TfrmHome& home, const QString& name)
{
    auto* button = home.findChild<QAbstractButton*>(name);
    QVERIFY2(button, qPrintable(name));
    QTest::mouseClick(button, Qt::LeftButton);
}

// Tokens: "k<c>" a key typed (a reader or a keyboard), "p<d>" a keypad digit,
// "pC" the correction key, "pOK" the OK key, "bs" Backspace, "enter" Enter.
void play(TfrmHome& home, const QStringList& tokens)
{
    for (const QString& t : tokens) {
        if (t == QLatin1String("bs"))
            QTest::keyClick(&home, Qt::Key_Backspace);
        else if (t == QLatin1String("enter"))
            QTest::keyClick(&home, Qt::Key_Return);
        else if (t == QLatin1String("pC"))
            press(home, QStringLiteral("dxbTclCorrigir"));
        else if (t == QLatin1String("pOK"))
            press(home, QStringLiteral("dxbTclOK"));
        else if (t.startsWith(QLatin1Char('p')))
            press(home, QStringLiteral("dxbTeclado") + t.mid(1));
        else
            QTest::keyClicks(&home, t.mid(1));
    }
}

QString caption(TfrmHome& home, const char* name)
{
    return home.findChild<QLabel*>(QString::fromLatin1(name))->text();
}
} // namespace

class TestHome : public QObject
{
    Q_OBJECT

private slots:
    void init()
    {
        HostConfig::instance().setLocale(QStringLiteral("pt_BR"));
        Trad_utl::setLanguage(QString());
    }

    void takesCodes_data()
    {
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QStringList>("served");
        QTest::newRow("badge reader") << QStringList{"k000101", "enter"} << QStringList{"000101"};
        QTest::newRow("keypad") << QStringList{"p1", "p0", "p1", "pOK"} << QStringList{"101"};
        QTest::newRow("corrected both ways")
            << QStringList{"p1", "p2", "pC", "p3", "bs", "k4", "enter"} << QStringList{"14"};
        QTest::newRow("nothing typed") << QStringList{"enter", "pOK", "pC", "bs"} << QStringList{};
        QTest::newRow("letters in upper case") << QStringList{"kaB1", "enter"} << QStringList{"AB1"};
        QTest::newRow("signs ignored") << QStringList{"k1-2 .", "enter"} << QStringList{"12"};
        QTest::newRow("longer than a code")
            << QStringList{"k1234567890123456789012345", "enter"} << QStringList{"123456789012345678901"};
        // A reader that repeats its Enter, and a consumer who presses OK twice.
        QTest::newRow("confirmed twice") << QStringList{"k5", "enter", "enter", "pOK"} << QStringList{"5"};
        QTest::newRow("second code before the first is served")
            << QStringList{"k5", "enter", "k6", "enter"} << QStringList{"5"};
    }

    void takesCodes()
    {
        QFETCH(QStringList, tokens);
        QFETCH(QStringList, served);
        FakeKiosk kiosk;
        kiosk.known = {QStringLiteral("*")};
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        play(home, tokens);
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.served, served);
        QCOMPARE(kiosk.settled, served.size());
        QCOMPARE(loop.consumersServed(), served.size());
        if (!served.isEmpty()) {
            QCOMPARE(home.code(), QString()); // home again, cleared
            QCOMPARE(caption(home, "lblCodigo"), QString());
        }
        // Ready for the next consumer.
        play(home, {QStringLiteral("k7"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.served.value(served.size()), QStringLiteral("7"));
    }

    // An unknown code, a store that cannot be read, a screen that cannot open: each
    // is told on the home screen for a while, and the next consumer can go on.
    void tellsWhatWentWrong_data()
    {
        QTest::addColumn<QString>("fault");
        QTest::addColumn<QString>("message");
        QTest::addColumn<int>("served");
        QTest::addColumn<bool>("clearedByTimer");
        QTest::newRow("unknown, time passes") << "unknown"
                                              << "Código 999 não encontrado" << 0 << true;
        QTest::newRow("unknown, next consumer types") << "unknown"
                                                      << "Código 999 não encontrado" << 0 << false;
        QTest::newRow("store down") << "store"
                                    << "O sistema não está disponível" << 0 << true;
        QTest::newRow("screen cannot open") << "screen"
                                            << "A recarga não está disponível" << 1 << false;
    }

    void tellsWhatWentWrong()
    {
        QFETCH(QString, fault);
        QFETCH(QString, message);
        QFETCH(int, served);
        QFETCH(bool, clearedByTimer);
        FakeKiosk kiosk;
        kiosk.storeDown = fault == QLatin1String("store");
        kiosk.screenFails = fault == QLatin1String("screen");
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        play(home, {fault == QLatin1String("unknown") ? QStringLiteral("k999") : QStringLiteral("k101"),
                    QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.served.size(), served);
        QVERIFY2(home.message().startsWith(message), qPrintable(home.message()));
        auto* timer = home.findChild<QTimer*>(QStringLiteral("tmrMensagem"));
        QVERIFY(timer->isActive());
        QCOMPARE(timer->interval(), TfrmHome::messageMs);
        QCOMPARE(home.code(), QString());
        if (clearedByTimer) {
            home.tmrMensagemTimer();
        } else {
            play(home, {QStringLiteral("p1")});
            QCOMPARE(home.code(), QStringLiteral("1"));
            play(home, {QStringLiteral("pC")});
        }
        QCOMPARE(home.message(), QString());
        QVERIFY(!timer->isActive());
        kiosk.storeDown = kiosk.screenFails = false;
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.served.size(), served + 1);
    }

    // Someone who walks away from a half-typed code or a language choice leaves a
    // clean home screen behind; a message on it is left to its own timer.
    void walkingAwayClearsTheHomeScreen_data()
    {
        QTest::addColumn<QStringList>("tokens");
        QTest::newRow("half-typed code") << QStringList{"k12"};
        QTest::newRow("corrected code") << QStringList{"p1", "p2", "pC"};
        QTest::newRow("language only") << QStringList{"blbIdiomaEs"};
        QTest::newRow("code and language") << QStringList{"blbIdiomaEn", "k7"};
    }

    void walkingAwayClearsTheHomeScreen()
    {
        QFETCH(QStringList, tokens);
        FakeKiosk kiosk;
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        auto* idle = home.findChild<QTimer*>(QStringLiteral("tmrInativo"));
        QVERIFY(!idle->isActive());
        for (const QString& t : tokens) {
            if (t.startsWith(QLatin1String("blb")))
                press(home, t);
            else
                play(home, {t});
        }
        QVERIFY(idle->isActive());
        QCOMPARE(idle->interval(), TfrmHome::idleMs);
        home.tmrInativoTimer();
        QCOMPARE(home.code(), QString());
        QCOMPARE(Trad_utl::language(), QStringLiteral("pt"));
        QCOMPARE(caption(home, "lblTitulo"), QStringLiteral("Recarga Cartão"));
        QVERIFY(!idle->isActive());
        // A code confirmed in time is served, and nothing is left to clear after it.
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.served, QStringList{QStringLiteral("101")});
        QVERIFY(!idle->isActive());
    }

    // While a consumer's screen runs, a reader's code or a press on the home screen
    // starts nothing: the module's entry runs again only once it has returned.
    void oneConsumerAtATime()
    {
        FakeKiosk kiosk;
        kiosk.known = {QStringLiteral("*")};
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        int nested = 0;
        kiosk.whileServing = [&] {
            QVERIFY(loop.serving());
            play(home, {QStringLiteral("k777"), QStringLiteral("enter"), QStringLiteral("p1"), QStringLiteral("pOK")});
            emit home.codeEntered(QStringLiteral("888"));
            QCoreApplication::processEvents();
            nested = kiosk.served.size();
        };
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(nested, 1);
        QCOMPARE(kiosk.served, QStringList{QStringLiteral("101")});
        QCOMPARE(home.code(), QString()); // nothing typed meanwhile is left over
        QVERIFY(!loop.serving());
        QCOMPARE(kiosk.settled, 1);
    }

    // The look-up and the settlement run away from the screen's thread; whatever arrives
    // while one is out (another code, keypad presses, the kiosk ending) starts nothing.
    void whileTheStoreIsAsked_data()
    {
        QTest::addColumn<int>("wait"); // 0 the look-up, 1 the settlement
        QTest::addColumn<QStringList>("tokens");
        QTest::addColumn<QStringList>("served");
        QTest::newRow("code during look-up") << 0 << QStringList{"k202", "enter"} << QStringList{"101", "7"};
        QTest::newRow("keypad during look-up") << 0 << QStringList{"p2", "pOK", "pC"} << QStringList{"101", "7"};
        QTest::newRow("kiosk ends during look-up") << 0 << QStringList{"close"} << QStringList{};
        QTest::newRow("code during settlement") << 1 << QStringList{"k202", "enter"} << QStringList{"101", "7"};
    }

    void whileTheStoreIsAsked()
    {
        QFETCH(int, wait);
        QFETCH(QStringList, tokens);
        QFETCH(QStringList, served);
        FakeKiosk kiosk;
        kiosk.known = {QStringLiteral("*")};
        kiosk.holdJobs = true;
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.held.size(), 1); // the look-up is out, the screen's thread is free
        QCOMPARE(home.message(), QStringLiteral("Aguarde..."));
        if (wait == 1) {
            kiosk.releaseOne();
            QCOMPARE(kiosk.held.size(), 1); // the settlement is out
            QCOMPARE(kiosk.settled, 0);
        }
        if (tokens == QStringList{QStringLiteral("close")}) {
            home.close();
            loop.stop();
        } else {
            play(home, tokens);
        }
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.held.size(), 1); // nothing more was asked of the store
        kiosk.holdJobs = false;
        kiosk.releaseOne();
        QCOMPARE(loop.serving(), false);
        if (home.isVisible()) {
            QCOMPARE(home.code(), QString());
            play(home, {QStringLiteral("k7"), QStringLiteral("enter")});
            QCoreApplication::processEvents();
        }
        QCOMPARE(kiosk.served, served);
    }

    // A code confirmed just as the kiosk ends (a script's last line) is not served.
    void nothingServedOnceStopped()
    {
        FakeKiosk kiosk;
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        home.close();
        QCoreApplication::processEvents();
        QVERIFY(kiosk.served.isEmpty());
        loop.stop();
        home.show();
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QVERIFY(kiosk.served.isEmpty());
    }

    // The recharge screen opens in the consumer's choice; the home screen speaks it
    // at once and goes back to the kiosk's own language for the next consumer.
    void consumerChoosesTheLanguage_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("title");
        QTest::newRow("pt") << "blbIdiomaPt"
                            << "pt"
                            << "Recarga Cartão";
        QTest::newRow("en") << "blbIdiomaEn"
                            << "en"
                            << "Card Recharge";
        QTest::newRow("es") << "blbIdiomaEs"
                            << "es"
                            << "Recarga de Tarjeta";
    }

    void consumerChoosesTheLanguage()
    {
        QFETCH(QString, button);
        QFETCH(QString, language);
        QFETCH(QString, title);
        FakeKiosk kiosk;
        TfrmHome home;
        HomeLoop loop(home, kiosk.services());
        home.show();
        press(home, QStringLiteral("blbIdiomaEs")); // changing one's mind
        press(home, button);
        QCOMPARE(caption(home, "lblTitulo"), title);
        play(home, {QStringLiteral("k999"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(Trad_utl::language(), language); // an unknown code keeps the choice
        play(home, {QStringLiteral("k101"), QStringLiteral("enter")});
        QCoreApplication::processEvents();
        QCOMPARE(kiosk.languagesSeen, QStringList{language});
        QCOMPARE(Trad_utl::language(), QStringLiteral("pt"));
        QCOMPARE(caption(home, "lblTitulo"), QStringLiteral("Recarga Cartão"));
    }
};

QTEST_MAIN(TestHome)
#include "tst_home.moc"
