// What the consumer meets around a purchase: a badge reader's keys never reach the
// amount nor press OK, the home look-up finds the branch's client's consumer only,
// the receipt names the family, no cancellation slip without a receipt, and the
// purchase texts are short, translated and free of technical words.
#include "ConsumerDirectory.h"
#include "KioskError.h"
#include "PurchaseTexts.h"
#include "ScreenUnderTest.h"
#include "Wst00001.h"

#include "CancellationSlip.h"

#include <QFile>
#include <QTranslator>
#include <QtTest>

namespace
{
// Keys: "r:" at a reader's pace (10 ms apart), "p:" at a person's (200 ms apart), a
// pause before each change of pace; '>' Enter. The key hold's timer ticks as time passes.
void play(ScreenUnderTest& s, const QString& script)
{
    auto* hold = s.screen->findChild<QTimer*>(QStringLiteral("tmrKeyHold"));
    auto pass = [&](int ms) {
        s.clock.advanceMs(ms);
        if (hold)
            QMetaObject::invokeMethod(hold, "timeout");
    };
    int gapMs = 200;
    for (qsizetype i = 0; i < script.size(); ++i) {
        if (script.mid(i, 2) == QLatin1String("r:") || script.mid(i, 2) == QLatin1String("p:")) {
            gapMs = script.at(i) == QLatin1Char('r') ? 10 : 200;
            pass(500);
            ++i;
            continue;
        }
        pass(gapMs);
        const QChar c = script.at(i);
        if (c == QLatin1Char('>'))
            QTest::keyClick(s.screen.get(), Qt::Key_Return);
        else
            QTest::keyClick(s.screen.get(), c.toLatin1());
    }
    pass(500); // the consumer stops typing
}

QString printed(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}

void printReceipt(const QString& port, const QString& nsu)
{
    ClientDataSet movement(QStringLiteral("cdsMovCaixa"));
    DataPacket p = Packets::movement({5.0}, 46000.5);
    p.rows()[0][p.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = nsu;
    movement.setData(p);
    movement.first();
    QString coo, gnf;
    const QString none;
    Wst00001::Compr_CredPessoal(port, none, none, QStringLiteral("0001"), QStringLiteral("001"), none, coo, gnf,
                                &movement, 50.44, QStringLiteral("Maria"), QStringLiteral("1"), none, none, none,
                                none, 0, none, none, none, none, none, none, none, true, 0, 0);
}

QStringList allTexts()
{
    using namespace PurchaseTexts;
    return {notStarted(),  terminalRefused(),   terminalUnreachable(), cancelled(),
            recorded(),    recordedLate(),      undone(),              unsettled(),
            timedOut(),    printerFailed(true), printerFailed(false),  recordingAttempt(2, 3)};
}
} // namespace

class TestConsumerSide : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase()
    {
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
        HostConfig::instance().load(QStringLiteral("/dev/null"));
    }

    void consumerSide_data()
    {
        QTest::addColumn<QString>("kind");
        QTest::addColumn<QString>("input");
        QTest::addColumn<QString>("expected");
        QTest::addColumn<bool>("flag");
        // keys: the amount shown, and whether OK was pressed (no family chosen: its notice shows).
        QTest::newRow("reader's code and Enter") << "keys" << "r:000000000000101>" << "0,00" << false;
        QTest::newRow("reader without Enter") << "keys" << "r:123456789012" << "0,00" << false;
        QTest::newRow("person, then a reader") << "keys" << "p:05r:00000000101>" << "0,05" << false;
        QTest::newRow("reader, then a person's OK") << "keys" << "r:99999999>p:12>" << "0,12" << true;
        // lookup: the name found for a code both clients use, or none.
        QTest::newRow("shared code: the branch's client") << "lookup" << "K7" << "Cliente Um" << true;
        QTest::newRow("another client's code") << "lookup" << "K8" << "" << false;
        // receipt: the family line, and none on the next receipt without a family.
        QTest::newRow("family on the receipt") << "receipt" << "Refeição" << "Família" << true;
        // slip: whether the receipt reached the printer, and so whether a slip is printed.
        QTest::newRow("receipt never reached the printer") << "slip" << "" << "CANCEL" << false;
        QTest::newRow("receipt printed") << "slip" << "" << "CANCEL" << true;
        // texts: in each language.
        QTest::newRow("texts pt") << "texts" << "pt" << "" << false;
        QTest::newRow("texts en") << "texts" << "en" << "" << false;
        QTest::newRow("texts es") << "texts" << "es" << "" << false;
    }

    void consumerSide()
    {
        QFETCH(QString, kind);
        QFETCH(QString, input);
        QFETCH(QString, expected);
        QFETCH(bool, flag);
        QTemporaryDir dir;
        if (kind == QLatin1String("keys")) {
            ScreenUnderTest s(3);
            QVERIFY(s.open());
            play(s, input);
            QCOMPARE(s.text(QStringLiteral("lblVrSaldo")), expected);
            QCOMPARE(!s.messages.notices.isEmpty() || !s.messages.questions.isEmpty(), flag);
        } else if (kind == QLatin1String("lookup")) {
            TestStore store;
            store.createSchema();
            store.exec(QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('000000000000000', 'K7', 'Cliente Zero')"));
            store.exec(QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('000000000000001', 'K7', 'Cliente Um')"));
            store.exec(QStringLiteral("INSERT INTO CONSUMIDOR VALUES ('000000000000000', 'K8', 'Outro')"));
            DataPacket parameters({FieldDef::make(QStringLiteral("CDCLIENTE"), FieldType::String, 21)});
            parameters.appendRow({QStringLiteral("000000000000001")});
            parameters.saveFile(dir.filePath(QStringLiteral("PARAMETROSZEL.CDS")));
            HostConfig::instance().setDataFolder(dir.path());
            const auto found = ConsumerDirectory::findConsumer(store.connectionString(), input);
            QCOMPARE(found.has_value(), flag);
            if (found)
                QCOMPARE(found->rows().value(0).value(2).toString(), expected);
            HostConfig::instance().setDataFolder(dir.filePath(QStringLiteral("none")));
            QVERIFY_THROWS_EXCEPTION(KioskError, ConsumerDirectory::findConsumer(store.connectionString(), input));
        } else if (kind == QLatin1String("receipt")) {
            HostConfig::instance().setDataFolder(dir.path());
            const QString port = dir.filePath(QStringLiteral("receipts.txt"));
            Wst00001::setReceiptExtras({input});
            printReceipt(port, QStringLiteral("1"));
            const QString first = printed(port);
            QVERIFY2(first.contains(QRegularExpression(expected + QStringLiteral(" +") + input + QLatin1Char('\n'))),
                     qPrintable(first));
            QVERIFY2(first.contains(QRegularExpression(QStringLiteral("Saldo após crédito +55,44"))), qPrintable(first));
            QFile::remove(port);
            printReceipt(port, QStringLiteral("2"));
            QVERIFY(!printed(port).contains(expected));
        } else if (kind == QLatin1String("slip")) {
            HostConfig::instance().setDataFolder(dir.path());
            const QString port = dir.filePath(QStringLiteral("printer/receipts.txt"));
            if (flag)
                QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer")));
            try {
                printReceipt(port, QStringLiteral("77"));
            } catch (const KioskError&) {
            }
            QCOMPARE(Wst00001::receiptReachedPrinter(), flag);
            QVERIFY(QDir(dir.path()).mkpath(QStringLiteral("printer"))); // the printer is back for the slip
            CancellationSlip slip;
            slip.nsu = QStringLiteral("77");
            slip.amount = 5;
            Wst00001::printCancellationSlip(port, slip);
            QCOMPARE(printed(port).contains(expected), flag);
            QCOMPARE(printed(port).isEmpty(), !flag);
        } else {
            QTranslator translator;
            if (input != QLatin1String("pt")) {
                QVERIFY(translator.load(QStringLiteral(":/i18n/kiosk_%1.qm").arg(input)));
                QCoreApplication::installTranslator(&translator);
            }
            const QStringList texts = allTexts();
            QCoreApplication::removeTranslator(&translator);
            const QStringList source = allTexts();
            // What a consumer must never read: the store's, the terminal's or a file's words.
            const QRegularExpression technical(
                QStringLiteral("\\b(tef|sql|nsu|provider|host|port|database|error|erro|exception|null)\\b|[/\\\\=]"),
                QRegularExpression::CaseInsensitiveOption);
            for (qsizetype i = 0; i < texts.size(); ++i) {
                const QString& text = texts.at(i);
                QVERIFY2(!text.isEmpty() && text.size() <= 90, qPrintable(text));
                QVERIFY2(!technical.match(text).hasMatch(), qPrintable(text));
                if (input != QLatin1String("pt"))
                    QVERIFY2(text != source.at(i), qPrintable(QStringLiteral("untranslated: ") + text));
            }
        }
    }
};

QTEST_MAIN(TestConsumerSide)
#include "tst_consumerside.moc"
