// Around a purchase: reader keys dropped, look-up by client, family on the receipt, slips, texts.
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
// Runs of keys: "r..." at a reader's pace (10 ms apart), "p..." at a person's (200 ms); '>' is Enter.
void play(ScreenUnderTest& s, const QString& script)
{
    auto* hold = s.screen->findChild<QTimer*>(QStringLiteral("tmrKeyHold"));
    const auto pass = [&](int ms) {
        s.clock.advanceMs(ms);
        QMetaObject::invokeMethod(hold, "timeout"); // the key hold's timer ticks as time passes
    };
    for (const QString& run : script.split(QLatin1Char(' '))) {
        pass(500);
        for (const QChar c : run.mid(1)) {
            pass(run.startsWith(QLatin1Char('r')) ? 10 : 200);
            if (c == QLatin1Char('>'))
                QTest::keyClick(s.screen.get(), Qt::Key_Return);
            else
                QTest::keyClick(s.screen.get(), c.toLatin1());
        }
    }
    pass(500);
}

QString printed(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

// A receipt of 5,00 for NSU 77 over a balance of 50,44; false when the printer failed.
bool printReceipt(const QString& port)
try {
    ClientDataSet movement(QStringLiteral("cdsMovCaixa"));
    DataPacket p = Packets::movement({5.0}, 46000.5);
    p.rows()[0][p.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = QStringLiteral("77");
    movement.setData(p);
    movement.first();
    QString coo, gnf, x;
    Wst00001::Compr_CredPessoal(port, x, x, x, x, x, coo, gnf, &movement, Money::fromCents(5044), x, x, x, x, x, x, 0,
                                x, x, x, x, x, x, x, true, 0, 0);
    return true;
} catch (const KioskError&) {
    return false;
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
        row("reader's code and Enter", "keys", "r000000000000101>", "0,00", false);
        row("reader without Enter", "keys", "r123456789012", "0,00", false);
        row("person, then a reader", "keys", "p05 r00000000101>", "0,05", false);
        row("reader, then a person's OK", "keys", "r99999999> p12>", "0,12", true);
        // lookup: the consumer found for a code
        row("code both clients use", "lookup", "K7", "Cliente Um", true);
        row("another client's code", "lookup", "K8", "", false);
        row("family on the receipt", "receipt", "Refeição", "Família +Refeição\n.*Saldo após crédito +55,44", true);
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
            QCOMPARE(found ? found->rows().value(0).value(2).toString() : QString(), expected);
        } else if (kind == QLatin1String("receipt")) {
            const QString port = dir.filePath(QStringLiteral("receipts.txt"));
            Wst00001::setReceiptExtras({input});
            QVERIFY(printReceipt(port));
            QVERIFY(
                printed(port).contains(QRegularExpression(expected, QRegularExpression::DotMatchesEverythingOption)));
            QFile::remove(port);
            printReceipt(port); // the family set for a receipt never reaches the next one
            QVERIFY(!printed(port).contains(input));
        } else if (kind == QLatin1String("slip")) {
            const QString port = dir.filePath(QStringLiteral("printer/receipts.txt"));
            if (flag)
                QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer")));
            QCOMPARE(printReceipt(port), flag);
            QCOMPARE(Wst00001::receiptReachedPrinter(), flag);
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer"))); // the printer is back for the slip
            CancellationSlip slip;
            slip.nsu = QStringLiteral("77");
            Wst00001::printCancellationSlip(port, slip);
            QCOMPARE(printed(port).contains(expected), flag);
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
