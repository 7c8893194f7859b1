// Data packets and client data sets: encoding round trips, file failures, typed
// reads, cursor work, edits and indexes.
#include "ClientDataSet.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "Packets.h"

#include <QTemporaryDir>
#include <QtTest>

using Packets::field;

class TestDataPacket : public QObject
{
    Q_OBJECT

    static DataPacket everyType()
    {
        DataPacket p({field("TXT", FieldType::String, 30), field("INT", FieldType::Integer),
                      field("FLT", FieldType::Float), field("BOO", FieldType::Boolean),
                      field("DTH", FieldType::DateTime), field("DAT", FieldType::Date)});
        const double t = DateTimeValue::fromDateTime(QDateTime(QDate(2024, 3, 5), QTime(10, 20, 30, 456)));
        p.appendRow({QStringLiteral("Açaí — “ok”"), qint64(-42), 1234.5, true, t, DateTimeValue::dateOnly(t)});
        p.appendRow({QVariant(), QVariant(), QVariant(), QVariant(), QVariant(), QVariant()});
        return p;
    }

private slots:
    void roundTripKeepsOrderTypesAndNulls()
    {
        const DataPacket p = everyType();
        const DataPacket back = DataPacket::fromJson(p.toJson(), QStringLiteral("test"));
        QCOMPARE(back.fields(), p.fields());
        QCOMPARE(back.rows().size(), 2);
        QCOMPARE(back.rows()[0][0].toString(), QStringLiteral("Açaí — “ok”"));
        QCOMPARE(back.rows()[0][1].toLongLong(), -42);
        QCOMPARE(back.rows()[0][2].toDouble(), 1234.5);
        QCOMPARE(back.rows()[0][3].toBool(), true);
        QCOMPARE(DateTimeValue::toIsoText(back.rows()[0][4].toDouble()), QStringLiteral("2024-03-05 10:20:30.456"));
        QCOMPARE(back.rows()[0][5].toDouble(), DateTimeValue::fromDate(QDate(2024, 3, 5)));
        for (const QVariant& v : back.rows()[1])
            QVERIFY(!v.isValid());

        // The same content through a data set and a file.
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("p.cds"));
        p.saveFile(path);
        ClientDataSet ds(QStringLiteral("cds"));
        ds.loadFromFile(path);
        QCOMPARE(ds.data().fields(), p.fields());
        QCOMPARE(ds.recordCount(), 2);
    }

    void nullReadsGiveNeutralValues()
    {
        ClientDataSet ds(QStringLiteral("cds"));
        ds.setData(everyType());
        ds.next();
        QCOMPARE(ds.fieldByName(QStringLiteral("TXT")).asString(), QString());
        QCOMPARE(ds.fieldByName(QStringLiteral("FLT")).asFloat(), 0.0);
        QCOMPARE(ds.fieldByName(QStringLiteral("INT")).asInteger(), 0);
        QCOMPARE(ds.fieldByName(QStringLiteral("DTH")).asDateTime(), 0.0);
        QCOMPARE(ds.fieldByName(QStringLiteral("BOO")).asBoolean(), false);
        QVERIFY(ds.fieldByName(QStringLiteral("TXT")).isNull());
    }

    void badFilesAreNamedErrors_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<QString>("mentions");
        QTest::newRow("not json") << QByteArray("PK\x03\x04 binary") << QStringLiteral("not a data packet");
        QTest::newRow("other json") << QByteArray("{\"a\":1}") << QStringLiteral("format tag");
        QTest::newRow("unknown type")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"X","type":"money"}],"rows":[]})")
            << QStringLiteral("field X: unknown type");
        QTest::newRow("wrong value type")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"VR","type":"float"}],"rows":[["abc"]]})")
            << QStringLiteral("field VR");
        QTest::newRow("short record")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"A","type":"string"},{"name":"B","type":"string"}],"rows":[["x"]]})")
            << QStringLiteral("record 1 has 1 values for 2 fields");
        // A damaged record list is an error, never an empty packet.
        QTest::newRow("rows missing")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"A","type":"string"}]})")
            << QStringLiteral("\"rows\" missing");
        QTest::newRow("rows not a list")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"A","type":"string"}],"rows":{"0":["x"]}})")
            << QStringLiteral("is not a list");
        QTest::newRow("record not a list")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[],"rows":[["x"],"y"]})")
            << QStringLiteral("record 1 has 1 values for 0 fields");
        QTest::newRow("record not a list, no fields")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[],"rows":["y"]})")
            << QStringLiteral("record 1 is not a list");
        QTest::newRow("bad date")
            << QByteArray(R"({"format":"kiosk-datapacket","fields":[{"name":"DT","type":"datetime"}],"rows":[["31/02/2024"]]})")
            << QStringLiteral("field DT");
    }
    void badFilesAreNamedErrors()
    {
        QFETCH(QByteArray, content);
        QFETCH(QString, mentions);
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("PARAMETROSZEL.CDS"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write(content);
        f.close();
        ClientDataSet ds(QStringLiteral("cdsParametrosZel"));
        try {
            ds.loadFromFile(path);
            QFAIL("no error");
        } catch (const DataSetError& e) {
            QVERIFY2(e.message().contains(path), qPrintable(e.message()));
            QVERIFY2(e.message().contains(mentions), qPrintable(e.message()));
        }
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.loadFromFile(dir.filePath(QStringLiteral("missing.cds"))));
    }

    void persistentFieldsMustArrive()
    {
        ClientDataSet ds(QStringLiteral("cdsConfTipoRece"));
        ds.setFieldDefs({field("CDTIPORECE", FieldType::String, 3), field("VRTAXAADMI", FieldType::Float)});
        DataPacket p({field("CDTIPORECE", FieldType::String, 3)});
        try {
            ds.setData(p);
            QFAIL("no error");
        } catch (const DataSetError& e) {
            QVERIFY(e.message().contains(QStringLiteral("VRTAXAADMI not found")));
        }
        DataPacket wrongType({field("CDTIPORECE", FieldType::String, 3), field("VRTAXAADMI", FieldType::String)});
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.setData(wrongType));
        ds.createDataSet();
        QCOMPARE(ds.fields(), ds.fieldDefs());
        QCOMPARE(ds.recordCount(), 0);
        QVERIFY(ds.eof());
    }

    void typedReadsOfText()
    {
        DataPacket p({field("N", FieldType::String, 10)});
        p.appendRow({QStringLiteral("12")});
        p.appendRow({QStringLiteral("abc")});
        ClientDataSet ds(QStringLiteral("cds"));
        ds.setData(p);
        QCOMPARE(ds.fieldByName(QStringLiteral("n")).asInteger(), 12); // names are case-insensitive
        ds.next();
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.fieldByName(QStringLiteral("N")).asFloat());
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.fieldByName(QStringLiteral("MISSING")));
    }

    void locateEditInsertPost()
    {
        DataPacket p({field("NRBUTTON", FieldType::String, 3), field("CDFAMILISALD", FieldType::String, 3),
                      field("VRSALDCONFAM", FieldType::Float)});
        p.appendRow({QStringLiteral("   "), QStringLiteral("001"), 10.0});
        p.appendRow({QStringLiteral("   "), QStringLiteral("002"), QVariant()});
        ClientDataSet ds(QStringLiteral("cdsSALDOCONS"));
        ds.setData(p);

        QVERIFY(ds.locate(QStringLiteral("CDFAMILISALD"), QStringLiteral("002")));
        QVERIFY(!ds.locate(QStringLiteral("CDFAMILISALD"), QStringLiteral("009")));
        QVERIFY(ds.locate(QStringLiteral("CDFAMILISALD"), QStringLiteral("002")));
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.fieldByName(QStringLiteral("NRBUTTON")).setAsString(QStringLiteral("2")));
        ds.edit();
        ds.fieldByName(QStringLiteral("NRBUTTON")).setAsString(QStringLiteral("2"));
        ds.post();
        QVERIFY(ds.locate(QStringLiteral("NRBUTTON"), QStringLiteral("2")));
        QCOMPARE(ds.fieldByName(QStringLiteral("CDFAMILISALD")).asString(), QStringLiteral("002"));

        ds.insert();
        ds.fieldByName(QStringLiteral("CDFAMILISALD")).setAsString(QStringLiteral("003"));
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.fieldByName(QStringLiteral("NRBUTTON")).setAsString(QStringLiteral("1234")));
        ds.post();
        QCOMPARE(ds.recordCount(), 3);
        QCOMPARE(ds.data().rows().last()[1].toString(), QStringLiteral("003"));
        QVERIFY(!ds.data().rows().last()[2].isValid());
    }

    void indexesOrderRowsWithDescendingFields()
    {
        DataPacket p({field("NRORDTROCO", FieldType::String, 3), field("DTHRINCMOV", FieldType::DateTime),
                      field("VRMOVIVEND", FieldType::Float)});
        p.appendRow({QStringLiteral("2"), 100.5, 1.0});
        p.appendRow({QStringLiteral("1"), 100.1, 3.0});
        p.appendRow({QStringLiteral("1"), 100.9, 2.0});
        p.appendRow({QVariant(), 100.0, 4.0});
        ClientDataSet ds(QStringLiteral("cdsMovCaixa"));
        ds.addIndex(QStringLiteral("idxNRORDTROCO"), QStringLiteral("NRORDTROCO;DTHRINCMOV"), QStringLiteral("DTHRINCMOV"));
        ds.addIndex(QStringLiteral("idxVRMOVIVEND"), QStringLiteral("VRMOVIVEND"), QStringLiteral("VRMOVIVEND"));
        ds.setIndexName(QStringLiteral("idxNRORDTROCO"));
        ds.setData(p);
        QList<double> order;
        for (ds.first(); !ds.eof(); ds.next())
            order << ds.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat();
        QCOMPARE(order, (QList<double>{4.0, 2.0, 3.0, 1.0})); // null first, then "1" newest first, then "2"

        ds.setIndexName(QStringLiteral("idxVRMOVIVEND"));
        ds.first();
        QCOMPARE(ds.fieldByName(QStringLiteral("VRMOVIVEND")).asFloat(), 4.0);

        ds.setIndexName(QStringLiteral("idxNRORDTROCO"));
        DataPacket lacking({field("VRMOVIVEND", FieldType::Float)});
        lacking.appendRow({1.0});
        try {
            ds.setData(lacking);
            QFAIL("no error");
        } catch (const DataSetError& e) {
            QVERIFY(e.message().contains(QStringLiteral("NRORDTROCO")));
        }
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.setIndexName(QStringLiteral("idxNONE")));
    }

    void dataIsWholeWhateverTheFilter()
    {
        DataPacket p({field("ID", FieldType::String, 1)});
        p.appendRow({QStringLiteral("1")});
        p.appendRow({QStringLiteral("2")});
        ClientDataSet ds(QStringLiteral("cds"));
        ds.setData(p);
        ds.setFilter(QStringLiteral("ID = '2'"));
        ds.setFiltered(true);
        QCOMPARE(ds.recordCount(), 1);
        QCOMPARE(ds.data().rows().size(), 2);
        ds.setFiltered(false);
        QCOMPARE(ds.recordCount(), 2);
    }

    void dateTimeDayCount()
    {
        QCOMPARE(DateTimeValue::fromDate(QDate(1899, 12, 30)), 0.0);
        QCOMPARE(DateTimeValue::fromDateTime(QDateTime(QDate(1900, 1, 1), QTime(12, 0))), 2.5);
        const QDateTime t(QDate(2026, 12, 8), QTime(23, 59, 59, 999));
        const QDateTime back = DateTimeValue::toDateTime(DateTimeValue::fromDateTime(t));
        QCOMPARE(back.date(), t.date());
        QCOMPARE(back.time(), t.time());
        double days = 0;
        QVERIFY(DateTimeValue::parseIsoText(QStringLiteral("2026-12-08T06:00:00.123456"), &days));
        QCOMPARE(DateTimeValue::toIsoText(days), QStringLiteral("2026-12-08 06:00:00.123"));
        QVERIFY(!DateTimeValue::parseIsoText(QStringLiteral("08/12/2026"), &days));
    }
};

QTEST_GUILESS_MAIN(TestDataPacket)
#include "tst_datapacket.moc"
