// The drawn buttons: which colour they are painted in when up, pressed, held down by
// their group and disabled, and how a group index holds one button down at a time.
#include "CaptionFit.h"
#include "TBlendedButton.h"
#include "TdxfColorButton.h"

#include <QtTest>

namespace
{
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
    // Captions in every language stay inside their button: a longer one is drawn
    // smaller, one that fits keeps its font.
    void captionsFitTheirButtons_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("caption");
        QTest::addColumn<int>("pixels");
        QTest::addColumn<QSize>("size");
        QTest::addColumn<bool>("shrinks");
        QTest::newRow("keypad key, es") << "key"
                                        << "Corregir" << 16 << QSize(72, 48) << true;
        QTest::newRow("keypad key, digit") << "key"
                                           << "7" << 29 << QSize(72, 48) << false;
        QTest::newRow("drawn button, two lines too tall") << "button"
                                                          << "Tarjeta de Crédito" << 20 << QSize(80, 40) << true;
        QTest::newRow("drawn button, long word") << "button"
                                                 << "Aguardando" << 18 << QSize(60, 40) << true;
        QTest::newRow("drawn button, fits") << "button"
                                            << "OK" << 18 << QSize(80, 40) << false;
    }

    void captionsFitTheirButtons()
    {
        QFETCH(QString, kind);
        QFETCH(QString, caption);
        QFETCH(int, pixels);
        QFETCH(QSize, size);
        QFETCH(bool, shrinks);
        QFont font;
        font.setBold(true);
        font.setItalic(true);
        font.setPixelSize(pixels);
        const QRect room =
            QRect(QPoint(0, 0), size)
                .adjusted(CaptionFit::margin, CaptionFit::margin, -CaptionFit::margin, -CaptionFit::margin);
        const QFont fitted = CaptionFit::fitted(font, caption, room, kind == QLatin1String("button"));
        QCOMPARE(fitted.pixelSize() < pixels, shrinks);

        // Painted: no caption pixel on the button's outer edges.
        std::unique_ptr<QAbstractButton> b;
        if (kind == QLatin1String("key")) {
            auto* key = new TdxfColorButton;
            key->setColor(QColor(0, 160, 0));
            b.reset(key);
        } else {
            auto* drawn = new TBlendedButton;
            drawn->setColor(QColor(0, 160, 0));
            drawn->setShape(TBlendedShape::Rectangle);
            b.reset(drawn);
        }
        QPalette palette = b->palette();
        palette.setColor(QPalette::ButtonText, QColor(255, 0, 0));
        b->setPalette(palette);
        b->setFont(font);
        b->setText(caption);
        b->resize(size);
        const QImage image = b->grab().toImage();
        for (int y = 0; y < image.height(); ++y) {
            for (int x = 0; x < image.width(); ++x) {
                const bool edge = x < 2 || y < 2 || x >= image.width() - 2 || y >= image.height() - 2;
                const QColor c = image.pixelColor(x, y);
                if (edge && c.red() > 120 && c.green() < 100)
                    QFAIL(qPrintable(QStringLiteral("caption drawn at the edge, %1,%2").arg(x).arg(y)));
            }
        }
    }

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
