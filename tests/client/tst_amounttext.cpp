// How amounts are written on the screen: typed digits with implied cents and
// money values with "###0.00".
#include "AmountText.h"

#include <QtTest>

class TestAmountText : public QObject
{
    Q_OBJECT

private slots:
    void digitsShowWithImpliedCents_data()
    {
        QTest::addColumn<QString>("digits");
        QTest::addColumn<QString>("comma");
        QTest::addColumn<QString>("fullStop");
        QTest::newRow("none") << "" << "" << "";
        QTest::newRow("one") << "5" << "0,05" << "0.05";
        QTest::newRow("two") << "12" << "0,12" << "0.12";
        QTest::newRow("three") << "123" << "1,23" << "1.23";
        QTest::newRow("leading zeros") << "0005" << "00,05" << "00.05";
        QTest::newRow("six") << "999999" << "9999,99" << "9999.99";
    }
    void digitsShowWithImpliedCents()
    {
        QFETCH(QString, digits);
        QFETCH(QString, comma);
        QFETCH(QString, fullStop);
        QCOMPARE(AmountText::fromDigits(digits, QLatin1Char(',')), comma);
        QCOMPARE(AmountText::fromDigits(digits, QLatin1Char('.')), fullStop);
    }

    void moneyHasOneIntegerDigitTwoDecimalsNoGrouping_data()
    {
        QTest::addColumn<double>("value");
        QTest::addColumn<QString>("shown");
        QTest::newRow("thousands") << 1234.5 << "1234,50";
        QTest::newRow("negative") << -2.0 << "-2,00";
        QTest::newRow("zero") << 0.0 << "0,00";
        QTest::newRow("below one") << 0.05 << "0,05";
        QTest::newRow("rounds to cents") << 10.006 << "10,01";
        QTest::newRow("tiny negative is zero") << -0.001 << "0,00";
        QTest::newRow("millions") << 1234567.891 << "1234567,89";
    }
    void moneyHasOneIntegerDigitTwoDecimalsNoGrouping()
    {
        QFETCH(double, value);
        QFETCH(QString, shown);
        QCOMPARE(AmountText::money(value, QLatin1Char(',')), shown);
    }

    void separatorFollowsTheKioskLocale()
    {
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        QCOMPARE(AmountText::separator(), QLatin1Char(','));
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        QCOMPARE(AmountText::separator(), QLatin1Char('.'));
    }
};

QTEST_GUILESS_MAIN(TestAmountText)
#include "tst_amounttext.moc"
