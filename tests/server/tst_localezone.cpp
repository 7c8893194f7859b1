// The kiosk's locale and the machine's time zone never change what is stored: packets are read
// in their own format, and wall-clock times cross the store unchanged, also in an hour that a
// daylight-saving change skips. Runs in Europe/Berlin (set here when the run does not set it).
#include "Clock.h"
#include "DateTimeValue.h"
#include "KioskError.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "SqlQuery.h"
#include "TdtmZelProxCodigo.h"

#include <QLocale>
#include <QtTest>
#include <ctime>

using namespace Srv_kvb52814;

namespace
{
// 02:30 on this day does not exist in Europe/Berlin: clocks jump from 02:00 to 03:00.
const QDate gapDay(2026, 3, 29);
const QTime gapTime(2, 30);
const double gapMoment = DateTimeValue::fromWallClock(gapDay, gapTime);
const QString gapText = QStringLiteral("2026-03-29 02:30:00.000");

QVariant record(const DataPacket& packet, double turn)
{
    return setGravaCompCred(PacketVariant::of(packet), QStringLiteral("0001"), QStringLiteral("001"),
                            QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("002"),
                            QStringLiteral("2603290230"), QString(), QString(), QString(), turn,
                            DateTimeValue::dateOnly(turn));
}

// The packet the screen sends, with VRMOVIVEND (or another field) carried as text.
DataPacket withTextField(const char* name, const QString& text, double when)
{
    DataPacket p = Packets::movement({1.0}, when);
    QList<FieldDef> fields = p.fields();
    const int i = p.fieldIndex(QString::fromLatin1(name));
    fields[i].type = FieldType::String;
    DataPacket out(fields);
    QVariantList row = p.rows()[0];
    row[i] = text;
    out.appendRow(row);
    return out;
}

QString iso(SqlQuery& q, const char* field)
{
    return DateTimeValue::toIsoText(q.fieldByName(QString::fromLatin1(field)).asDateTime());
}
} // namespace

class TestLocaleZone : public QObject
{
    Q_OBJECT

    ManualClock m_clock{QDateTime(QDate(2026, 12, 8), QTime(10, 16, 0))};

private slots:
    void initTestCase()
    {
        if (qEnvironmentVariable("TZ").isEmpty()) {
            qputenv("TZ", "Europe/Berlin");
            tzset();
        }
        // Without a zone that skips 02:30 this run would prove nothing.
        QVERIFY2(!QDateTime(gapDay, gapTime).isValid(),
                 "the machine's zone has no daylight-saving gap at 2026-03-29 02:30");
    }
    void init() { Clock::setInstance(&m_clock); }
    void cleanup()
    {
        Clock::setInstance(nullptr);
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        TdtmZelProxCodigo::releasePooledConnections();
    }

    void numbersInAPacketReadTheSameInEveryLocale()
    {
        ModuleFixture f;
        f.seedBranch(2);
        for (const char* locale : {"pt_BR", "en_US", "de_DE"}) {
            QLocale::setDefault(QLocale(QString::fromLatin1(locale)));
            m_clock.advanceMs(1000);
            const QVariant result = record(withTextField("VRMOVIVEND", QStringLiteral("1.250"), gapMoment - 1),
                                           DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0))));
            QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        }
        QCOMPARE(f.store->count(QStringLiteral("FROM EXTRATOCONS WHERE VRMOVEXTCONS = 1.25")), 3);
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA WHERE VRMOVIVEND = 1.25")), 3);

        // A decimal comma is the kiosk's way of writing, not the packet's: refused, nothing written.
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        const QString refused = record(withTextField("VRMOVIVEND", QStringLiteral("1,25"), gapMoment - 1),
                                       DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0))))
                                    .toString();
        QVERIFY2(refused.contains(QStringLiteral("VRMOVIVEND")), qPrintable(refused));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 3);
    }

    void aRegionalShortDateIsNotADate()
    {
        ModuleFixture f;
        f.seedBranch(2);
        QLocale::setDefault(QLocale(QStringLiteral("en_US")));
        const QString result = record(withTextField("DTHRINCMOV", QStringLiteral("12/8/26"), 0),
                                      DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 1), QTime(6, 0))))
                                   .toString();
        QVERIFY2(result.contains(QStringLiteral("DTHRINCMOV")), qPrintable(result));
        QCOMPARE(f.store->count(QStringLiteral("FROM MOVCAIXA")), 0);

        // The same through a data set field read as a date-time: ISO or nothing.
        DataPacket p({Packets::field("DT", FieldType::String, 20)});
        p.appendRow({QStringLiteral("12/8/26")});
        p.appendRow({QStringLiteral("2026-12-08T10:00:00")});
        ClientDataSet ds(QStringLiteral("cds"));
        ds.setData(p);
        QVERIFY_THROWS_EXCEPTION(DataSetError, ds.fieldByName(QStringLiteral("DT")).asDateTime());
        ds.next();
        QCOMPARE(DateTimeValue::toIsoText(ds.fieldByName(QStringLiteral("DT")).asDateTime()),
                 QStringLiteral("2026-12-08 10:00:00.000"));
    }

    void wallClockTimesInADaylightSavingGapStayAsTheyAre()
    {
        // Packets carry it as ISO text: it parses to the same wall-clock time.
        double parsed = 0;
        QVERIFY(DateTimeValue::parseIsoText(QStringLiteral("2026-03-29T02:30:00"), &parsed));
        QCOMPARE(DateTimeValue::toIsoText(parsed), gapText);
        const DataPacket json =
            DataPacket::fromJson(Packets::movement({1.0}, gapMoment).toJson(), QStringLiteral("packet"));
        QCOMPARE(json.rows()[0][json.fieldIndex(QStringLiteral("DTHRINCMOV"))].toDouble(), gapMoment);
        QCOMPARE(DateTimeValue::fromDateTime(QDateTime(gapDay, gapTime)), gapMoment);

        // A recording whose turn, movement and statement time fall in the gap, read back through the store.
        ModuleFixture f;
        f.seedBranch(2, gapText);
        m_clock.set(QDateTime(gapDay, gapTime.addSecs(5)));
        const QVariant result = record(Packets::movement({5.0}, gapMoment), gapMoment);
        QVERIFY2(!result.isValid(), qPrintable(result.toString()));
        SqlQuery q(QStringLiteral("readBack"), f.dm().adcRecSaldo);
        q.setSql(QStringLiteral("SELECT M.DTABERCAIX, M.DTHRINCMOV, E.DTMOVEXTCONS FROM MOVCAIXA M JOIN EXTRATOCONS E "
                                "ON E.NRSEQMOVCAIXA = M.NRSEQUMOVI"));
        q.open();
        QCOMPARE(q.recordCount(), 1);
        QCOMPARE(iso(q, "DTABERCAIX"), gapText);
        QCOMPARE(iso(q, "DTHRINCMOV"), gapText);
        QCOMPARE(iso(q, "DTMOVEXTCONS"), QStringLiteral("2026-03-29 02:30:05.000"));
        // The evolution started from that statement date, so the balance is there.
        QCOMPARE(
            f.store->scalar(QStringLiteral("SELECT VRSALDCONFAM FROM SALDOCONS WHERE CDFAMILISALD = '002'")).toDouble(),
            5.0);
    }
};

QTEST_GUILESS_MAIN(TestLocaleZone)
#include "tst_localezone.moc"
