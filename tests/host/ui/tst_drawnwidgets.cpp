// The drawn buttons: which colour they are painted in when up, pressed, held down by
// their group and disabled, and how a group index holds one button down at a time.
#include "TBlendedButton.h"
#include "TdxfColorButton.h"

#include <QtTest>

namespace {
QColor centre(QWidget& w)
{
    const QImage image = w.grab().toImage();
    return image.pixelColor(image.width() / 2, image.height() / 2);
}

TBlendedButton* button(QWidget* parent, int group)
{
    auto* b = new TBlendedButton(parent);
    b->resize(80, 40);
    b->setGroupIndex(group);
    b->setColor(QColor(0xEF, 0xFD, 0xE3));
    b->setDownColor(QColor(0xC7, 0xF3, 0xE1));
    b->setDisabledColor(QColor(0x80, 0x80, 0x80));
    return b;
}
} // namespace

class TestDrawnWidgets : public QObject
{
    Q_OBJECT

private slots:
    void groupHoldsTheLastPressedButtonDown()
    {
        QWidget panel;
        TBlendedButton* first = button(&panel, 1);
        TBlendedButton* second = button(&panel, 1);
        TBlendedButton* loose = button(&panel, 0);
        QWidget elsewhere;
        TBlendedButton* otherPanel = button(&elsewhere, 1);

        first->click();
        QVERIFY(first->stuckDown());
        second->click();
        QVERIFY(!first->stuckDown());
        QVERIFY(second->stuckDown());
        loose->click(); // no group: neither held down nor releasing the group
        QVERIFY(!loose->stuckDown());
        QVERIFY(second->stuckDown());
        otherPanel->click(); // same index, other parent: a group of its own
        QVERIFY(second->stuckDown());
        QVERIFY(otherPanel->stuckDown());
    }

    void buttonIsPaintedInTheColourOfItsState()
    {
        QWidget panel;
        TBlendedButton* b = button(&panel, 1);
        QCOMPARE(centre(*b), QColor(0xEF, 0xFD, 0xE3));
        b->click();
        QCOMPARE(centre(*b), QColor(0xC7, 0xF3, 0xE1));
        b->setEnabled(false);
        QCOMPARE(centre(*b), QColor(0x80, 0x80, 0x80));
    }

    void disabledKeyIsPaintedInItsDisabledColour()
    {
        TdxfColorButton key;
        key.resize(72, 48);
        key.setColor(QColor(0x66, 0xD9, 0x11));
        const QColor up = centre(key);
        QVERIFY(up.green() > up.red() && up.green() > up.blue());
        key.setEnabled(false);
        const QColor disabled = centre(key);
        QCOMPARE(disabled.red(), disabled.green());
        QCOMPARE(disabled.green(), disabled.blue());
    }
};

QTEST_MAIN(TestDrawnWidgets)
#include "tst_drawnwidgets.moc"
