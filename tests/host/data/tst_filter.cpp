// Filter expressions as the screen uses them on the receipt-type configuration.
#include "ClientDataSet.h"
#include "FilterExpression.h"
#include "KioskError.h"
#include "Packets.h"

#include <QtTest>

class TestFilter : public QObject
{
    Q_OBJECT

    static DataPacket receiptTypes()
    {
        using Packets::field;
        DataPacket p({field("CDTIPORECE", FieldType::String, 3), field("CDFPIMPFIS", FieldType::String, 10),
                      field("IDTIPORECE", FieldType::String, 1), field("VRTAXAADMI", FieldType::Float)});
        p.appendRow({QStringLiteral("001"), QStringLiteral("01"), QStringLiteral("0"), 0.0});
        p.appendRow({QStringLiteral("010"), QStringLiteral("03"), QStringLiteral("1"), 2.5});
        p.appendRow({QStringLiteral("011"), QStringLiteral("04"), QStringLiteral("2"), 1.5});
        p.appendRow({QStringLiteral("012"), QString(), QStringLiteral("1"), QVariant()});
        p.appendRow({QStringLiteral("013"), QVariant(), QStringLiteral("2"), 9.0});
        p.appendRow({QStringLiteral("O'B"), QStringLiteral("05"), QStringLiteral("1"), 3.0});
        return p;
    }

private slots:
    void matches_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QStringList>("codes");
        QTest::newRow("credit") << "(CDFPIMPFIS <> '') AND (IDTIPORECE = '1')" << QStringList{"010", "O'B"};
        QTest::newRow("debit, null text is empty") << "(CDFPIMPFIS <> '') AND (IDTIPORECE = '2')" << QStringList{"011"};
        QTest::newRow("or and not") << "NOT (IDTIPORECE = '1') OR CDTIPORECE = '012'"
                                    << QStringList{"001", "011", "012", "013"};
        QTest::newRow("precedence: AND binds tighter") << "IDTIPORECE = '0' OR IDTIPORECE = '2' AND VRTAXAADMI > 5"
                                                      << QStringList{"001", "013"};
        QTest::newRow("numbers, null number never compares") << "VRTAXAADMI >= 2.5" << QStringList{"010", "013", "O'B"};
        QTest::newRow("quote in literal") << "CDTIPORECE = 'O''B'" << QStringList{"O'B"};
        QTest::newRow("is null") << "VRTAXAADMI IS NULL" << QStringList{"012"};
        QTest::newRow("lower-case keywords") << "idtiporece = '2' and not (cdfpimpfis = '')" << QStringList{"011"};
    }
    void matches()
    {
        QFETCH(QString, expression);
        QFETCH(QStringList, codes);
        ClientDataSet ds(QStringLiteral("cdsTipRecConf"));
        ds.setData(receiptTypes());
        ds.setFilter(expression);
        ds.setFiltered(true);
        QStringList got;
        for (ds.first(); !ds.eof(); ds.next())
            got << ds.fieldByName(QStringLiteral("CDTIPORECE")).asString();
        QCOMPARE(got, codes);
    }

    void malformedExpressionsAreClearErrors_data()
    {
        QTest::addColumn<QString>("expression");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("unclosed paren") << "(A = '1'" << "missing \")\"";
        QTest::newRow("unterminated text") << "A = 'x" << "unterminated text literal";
        QTest::newRow("dangling operator") << "A = '1' AND" << "expression ends too early";
        QTest::newRow("no comparison") << "A 'x'" << "expected a comparison";
        QTest::newRow("stray character") << "A = #1" << "unexpected character '#'";
        QTest::newRow("empty") << "   " << "filter is empty";
        QTest::newRow("trailing junk") << "A = '1' )" << "unexpected";
    }
    void malformedExpressionsAreClearErrors()
    {
        QFETCH(QString, expression);
        QFETCH(QString, mentions);
        try {
            FilterExpression e(expression);
            QFAIL("parsed");
        } catch (const DataSetError& e) {
            QVERIFY2(e.message().contains(mentions), qPrintable(e.message()));
        }
    }

    void unknownFieldFailsWhenApplied()
    {
        ClientDataSet ds(QStringLiteral("cdsTipRecConf"));
        ds.setData(receiptTypes());
        ds.setFilter(QStringLiteral("NOPE = '1'"));
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.setFiltered(true));
    }
};

QTEST_GUILESS_MAIN(TestFilter)
#include "tst_filter.moc"
