// Around a purchase: a reader's keys never reach the amount nor press OK, the look-up finds the
// branch's client's consumer, the receipt names the family, no slip without a receipt, plain texts.
#include "CancellationSlip.h"
#include "ConsumerDirectory.h"
#include "KioskError.h"
#include "PurchaseTexts.h"
#include "ScreenUnderTest.h"
#include "Wst00001.h"

#include <QTranslator>
#include <QtTest>

namespace
{
// "r:" keys at a reader's pace (10 ms apart), "p:" at a person's (200 ms), a pause before each; '>' Enter.
void play(ScreenUnderTest& s, const QString& script)
{
    auto* hold = s.screen->findChild<QTimer*>(QStringLiteral("tmrKeyHold"));
    const auto pass = [&](int ms) {
        s.clock.advanceMs(ms);
        if (hold)
            QMetaObject::invokeMethod(hold, "timeout");
    };
    int gapMs = 200;
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script.at(i) == QLatin1Char(':')) {
            gapMs = script.at(i - 1) == QLatin1Char('r') ? 10 : 200;
            pass(500);
        } else if (i + 1 == script.size() || script.at(i + 1) != QLatin1Char(':')) {
            pass(gapMs);
            if (script.at(i) == QLatin1Char('>'))
                QTest::keyClick(s.screen.get(), Qt::Key_Return);
            else
                QTest::keyClick(s.screen.get(), script.at(i).toLatin1());
        }
    }
    pass(500);
}

QString printed(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void printReceipt(const QString& port)
{
    ClientDataSet movement(QStringLiteral("cdsMovCaixa"));
    DataPacket p = Packets::movement({5.0}, 46000.5);
    p.rows()[0][p.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = QStringLiteral("77");
    movement.setData(p);
    movement.first();
    QString coo, gnf, x;
    Wst00001::Compr_CredPessoal(port, x, x, x, x, x, coo, gnf, &movement, 50.44, x, x, x, x, x, x, 0, x, x, x, x, x, x,
                                x, true, 0, 0);
}

QStringList allTexts()
{
    using namespace PurchaseTexts;
    return QStringList{notStarted(), terminalRefused(), terminalUnreachable(), cancelled(), recorded()}
           << recordedLate() << undone() << unsettled() << timedOut() << printerFailed(true) << printerFailed(false)
           << recordingAttempt(2, 3);
}

void row(const char* name, const char* kind, const char* input, const char* expected, bool flag)
{
    QTest::newRow(name) << QString::fromUtf8(kind) << QString::fromUtf8(input) << QString::fromUtf8(expected) << flag;
}
} // namespace

class TestConsumerSide : public QObject
{
    Q_OBJECT

private slots:
    void consumerSide_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("flag");
        // keys: the amount shown, and whether OK was pressed (no family is chosen: its notice shows)
        row("reader's code and Enter", "keys", "r:000000000000101>", "0,00", false);
        row("reader without Enter", "keys", "r:123456789012", "0,00", false);
        row("person, then a reader", "keys", "p:05r:00000000101>", "0,05", false);
        row("reader, then a person's OK", "keys", "r:99999999>p:12>", "0,12", true);
        // lookup: the consumer found for a code (flag: one is found)
        row("code both clients use", "lookup", "K7", "Cliente Um", true);
        row("another client's code", "lookup", "K8", "", false);
        row("family on the receipt", "receipt", "Refeição", "Família", true);
        // slip: whether the receipt reached the printer, and so whether a slip is printed
        row("receipt never reached the printer", "slip", "", "CANCELAMENTO", false);
        row("receipt printed", "slip", "", "CANCELAMENTO", true);
        for (const char* language : {"pt", "en", "es"})
            row(language, "texts", language, "", false);
    }

    void consumerSide()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(bool, flag);
        QTemporaryDir dir;
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        HostConfig::instance().setDataFolder(dir.path());
        if (kind == QLatin1String("keys")) {
            ScreenUnderTest s(3);
            QVERIFY(s.open());
            play(s, input);
            QCOMPARE(s.text(QStringLiteral("lblVrSaldo")), expected);
            QCOMPARE(!s.messages.notices.isEmpty(), flag);
        } else if (kind == QLatin1String("lookup")) {
            TestStore store;
            store.createSchema();
            store.exec(QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('000000000000000', 'K7', 'Cliente Zero'), "
                                      "('000000000000001', 'K7', 'Cliente Um'), ('000000000000000', 'K8', 'Outro')"));
            DataPacket parameters({FieldDef::make(QStringLiteral("CDCLIENTE"), FieldType::String, 21)});
            parameters.appendRow({QStringLiteral("000000000000001")});
            parameters.saveFile(dir.filePath(QStringLiteral("PARAMETROSZEL.CDS")));
            const auto found = ConsumerDirectory::findConsumer(store.connectionString(), input);
            QCOMPARE(found.has_value(), flag);
            QCOMPARE(found ? found->rows().value(0).value(2).toString() : QString(), expected);
            HostConfig::instance().setDataFolder(dir.filePath(QStringLiteral("none")));
            QVERIFY_THROWS_EXCEPTION(KioskError, ConsumerDirectory::findConsumer(store.connectionString(), input));
        } else if (kind == QLatin1String("receipt")) {
            const QString port = dir.filePath(QStringLiteral("receipts.txt"));
            Wst00001::setReceiptExtras({input});
            printReceipt(port);
            QVERIFY2(
                printed(port).contains(QRegularExpression(expected + QStringLiteral(" +") + input + QLatin1Char('\n'))),
                qPrintable(printed(port)));
            QVERIFY(printed(port).contains(QRegularExpression(QStringLiteral("Saldo após crédito +55,44"))));
            QFile::remove(port);
            printReceipt(port); // the family set for a receipt never reaches the next one
            QVERIFY(!printed(port).contains(expected));
        } else if (kind == QLatin1String("slip")) {
            const QString port = dir.filePath(QStringLiteral("printer/receipts.txt"));
            if (flag)
                QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer")));
            try {
                printReceipt(port);
            } catch (const KioskError&) {
            }
            QCOMPARE(Wst00001::receiptReachedPrinter(), flag);
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer"))); // the printer is back for the slip
            CancellationSlip slip;
            slip.nsu = QStringLiteral("77");
            Wst00001::printCancellationSlip(port, slip);
            QCOMPARE(printed(port).contains(expected), flag);
            QCOMPARE(printed(port).isEmpty(), !flag);
        } else {
            QTranslator translator;
            QVERIFY(input == QLatin1String("pt") || translator.load(QStringLiteral(":/i18n/kiosk_%1.qm").arg(input)));
            QCoreApplication::installTranslator(&translator);
            const QStringList texts = allTexts();
            QCoreApplication::removeTranslator(&translator);
            const QStringList source = allTexts();
            // Never the store's, the terminal's or a file's words.
            const QRegularExpression technical(
                QStringLiteral("\\b(tef|sql|nsu|provider|host|port|database|error|erro|exception)\\b|[/\\\\=]"),
                QRegularExpression::CaseInsensitiveOption);
            for (qsizetype i = 0; i < texts.size(); ++i) {
                QVERIFY2(!texts[i].isEmpty() && texts[i].size() <= 90 && !technical.match(texts[i]).hasMatch(),
                         qPrintable(texts[i]));
                QVERIFY2(input == QLatin1String("pt") || texts[i] != source[i], qPrintable(texts[i]));
            }
        }
    }
};

QTEST_MAIN(TestConsumerSide)
#include "tst_consumerside.moc"
