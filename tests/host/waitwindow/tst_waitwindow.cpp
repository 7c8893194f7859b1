// The wait window: shown over the screen, covering it, its text changed by a
// second call, closed by DesativaProcesso.
#include "WaitWindow.h"
#include "Wst00002.h"

#include <QLabel>
#include <QtTest>

class TestWaitWindow : public QObject
{
    Q_OBJECT
private slots:
    void showsChangesAndCloses()
    {
        QWidget screen;
        screen.resize(800, 600);
        screen.show();
        Wst00002::AtivaProcesso(&screen, QStringLiteral("Aguarde! Imprimindo cupom..."), 16777215, 0);
        WaitWindow* first = Wst00002::current();
        QVERIFY(first);
        QCOMPARE(first->parentWidget(), &screen);
        QVERIFY(first->isVisible());
        QCOMPARE(first->geometry(), screen.rect());
        QCOMPARE(first->findChild<QLabel*>(QStringLiteral("lblWaitText"))->text(),
                 QStringLiteral("Aguarde! Imprimindo cupom..."));

        Wst00002::AtivaProcesso(&screen, QStringLiteral("Imprimindo comprovante TEF..."), 16777215, 0);
        QCOMPARE(Wst00002::current(), first); // the same window, its text changed
        QCOMPARE(first->text(), QStringLiteral("Imprimindo comprovante TEF..."));
        QCOMPARE(screen.findChildren<WaitWindow*>().size(), 1);

        screen.resize(1024, 768);
        QCOMPARE(first->geometry(), screen.rect());

        Wst00002::DesativaProcesso();
        QVERIFY(!Wst00002::current());
        QVERIFY(screen.findChildren<WaitWindow*>().isEmpty());
        Wst00002::DesativaProcesso(); // none open: nothing happens
    }

    void anotherScreenGetsItsOwnWindow()
    {
        QWidget a, b;
        Wst00002::AtivaProcesso(&a, QStringLiteral("um"), 0, 0);
        Wst00002::AtivaProcesso(&b, QStringLiteral("dois"), 0, 0);
        QVERIFY(a.findChildren<WaitWindow*>().isEmpty());
        QCOMPARE(Wst00002::current()->parentWidget(), &b);
        Wst00002::DesativaProcesso();
    }

    void closedWithItsScreen()
    {
        auto* screen = new QWidget;
        Wst00002::AtivaProcesso(screen, QStringLiteral("x"), 0, 0);
        delete screen;
        QVERIFY(!Wst00002::current());
        Wst00002::DesativaProcesso();
    }
};

QTEST_MAIN(TestWaitWindow)
#include "tst_waitwindow.moc"
