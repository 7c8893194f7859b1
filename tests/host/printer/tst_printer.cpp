// Receipt printing: the credit receipt's content, the file and network printer
// ports with their byte formats, the coupon counters across restarts and failed
// prints, and the fiscal movement date.
#include "ClientDataSet.h"
#include "Clock.h"
#include "CouponCounters.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "Packets.h"
#include "PrinterPort.h"
#include "PrinterTarget.h"
#include "Wst00001.h"

#include <QFile>
#include <QLocalServer>
#include <QScopeGuard>
#include <QSemaphore>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>

#include <algorithm>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
const double purchaseTime = DateTimeValue::fromDateTime(QDateTime(QDate(2026, 12, 8), QTime(10, 15, 30)));

// The posted record of a purchase, as the screen hands it to the printing function.
std::unique_ptr<ClientDataSet> movement(const QString& card)
{
    auto ds = std::make_unique<ClientDataSet>(QStringLiteral("cdsMovCaixa"));
    DataPacket p = Packets::movement({25.0}, purchaseTime);
    p.rows()[0][p.fieldIndex(QStringLiteral("NRCARTBANCO"))] = card;
    p.rows()[0][p.fieldIndex(QStringLiteral("CDNSUHOSTTEF"))] = QStringLiteral("000000000042");
    p.rows()[0][p.fieldIndex(QStringLiteral("NMTIPORECE"))] = QStringLiteral("Cartão Crédito");
    ds->setData(p);
    ds->first();
    return ds;
}

struct Printed {
    QString coo, gnf;
};

Printed print(const QString& port, ClientDataSet* ds, bool fiscal = true, const QString& otherPort = QString(),
              const QString& consumer = QStringLiteral("Maria da Silva"))
{
    Printed out;
    Wst00001::Compr_CredPessoal(
        port, QStringLiteral("S"), QString(), QStringLiteral("0001"), QStringLiteral("002"), QStringLiteral("002"),
        out.coo, out.gnf, ds, Money::fromCents(4050), consumer, QStringLiteral("2612081015"), QStringLiteral("S"),
        QStringLiteral("N"), QStringLiteral("01"), otherPort, 0, QString(), QStringLiteral("Quiosque 1"),
        QStringLiteral("Rua das Flores, 100"), QString(), QStringLiteral("123456"), QString(), QString(), fiscal, 0, 0);
    return out;
}

QString readText(const QString& path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? QString::fromUtf8(f.readAll()) : QString();
}
} // namespace

class TestPrinter : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void init()
    {
        HostConfig::instance().load(QStringLiteral("/dev/null"));
        HostConfig::instance().setDataFolder(m_dir.path());
        QFile::remove(m_dir.filePath(QStringLiteral("printer-counters.json")));
        QLocale::setDefault(QLocale(QLocale::Portuguese, QLocale::Brazil));
    }

    void receiptToFileAndCountersAcrossRestarts()
    {
        const QString file = m_dir.filePath(QStringLiteral("receipts.txt"));
        QFile::remove(file);
        auto ds = movement(QStringLiteral("4111111111111111")); // even a full number is masked on paper
        const Printed first = print(file, ds.get());
        QCOMPARE(first.coo, QStringLiteral("000001"));
        QCOMPARE(first.gnf, QStringLiteral("000001"));
        const QString text = readText(file);
        for (const char* expected :
             {"Filial", "0001", "002 - Quiosque 1", "Maria da Silva", "25,00", "40,50", "65,50", "2612081015",
              "Cartão Crédito", "4111**1111", "000000000042", "08/12/2026 10:15:30", "COO", "123456"})
            QVERIFY2(text.contains(QString::fromUtf8(expected)), expected);
        QVERIFY(!text.contains(QStringLiteral("4111111111111111")));

        // A restarted kiosk (a fresh counters object reading the file) goes on from there.
        const Printed second = print(file, ds.get());
        QCOMPARE(second.coo, QStringLiteral("000002"));
        QCOMPARE(CouponCounters(m_dir.filePath(QStringLiteral("printer-counters.json"))).current(file),
                 (CouponCounters::Values{2, 2}));
        QCOMPARE(readText(file).count(QStringLiteral("RECIBO DE DEPÓSITO")), 2);
    }

    void bareNamesAndNonFiscalPort()
    {
        auto ds = movement(QStringLiteral("4111**1111"));
        print(QStringLiteral("COM1"), ds.get());
        QVERIFY(readText(m_dir.filePath(QStringLiteral("receipts-COM1.txt"))).contains(QStringLiteral("4111**1111")));
        // Without a fiscal printer the receipt goes to the till's other printer.
        print(QStringLiteral("COM1"), ds.get(), false, QStringLiteral("COM2"));
        QVERIFY(QFile::exists(m_dir.filePath(QStringLiteral("receipts-COM2.txt"))));

        PrinterSettings s;
        s.ports.insert(QStringLiteral("COM1"), QStringLiteral("tcp://10.0.0.20:9100"));
        QCOMPARE(PrinterPort::resolve(QStringLiteral("com1"), s, QStringLiteral("/d")),
                 QStringLiteral("tcp://10.0.0.20:9100"));
        QCOMPARE(PrinterPort::resolve(QStringLiteral("/dev/usb/lp0"), s, QStringLiteral("/d")),
                 QStringLiteral("/dev/usb/lp0"));
        QCOMPARE(PrinterPort::resolve(QStringLiteral("LPT 1"), s, QStringLiteral("/d")),
                 QStringLiteral("/d/receipts-LPT_1.txt"));
        QVERIFY_THROWS_EXCEPTION(KioskError, PrinterPort::resolve(QStringLiteral("  "), s, QStringLiteral("/d")));
    }

    void receiptToNetworkPrinter()
    {
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QByteArray received;
        QList<QTcpSocket*> sockets;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            sockets.append(s);
            connect(s, &QTcpSocket::readyRead, this, [&received, s] { received += s->readAll(); });
        });
        const QString port = QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort());
        auto ds = movement(QStringLiteral("4111111111111111"));
        const Printed printed = print(port, ds.get());
        QCOMPARE(printed.coo, QStringLiteral("000001"));
        QTRY_VERIFY(received.endsWith(QByteArray("\x1d\x56\x42\x00", 4)));
        QVERIFY(received.startsWith(QByteArray("\x1b\x40\x1b\x74\x02", 5)));
        QVERIFY(received.contains("Dep\xa2sito")); // CP850 ó
        QVERIFY(received.contains("Cart\xc6o Cr\x82"
                                  "dito")); // CP850 ã, é
        QVERIFY(received.contains("4111**1111"));
        QVERIFY(!received.contains("4111111111111111"));
    }

    // Texts from the store (the consumer's name) and from the terminal (card type, NSU) reach the
    // printer as text only: no printer command of theirs and no line of their making.
    void hostileTextsPrintAsText_data()
    {
        QTest::addColumn<QString>("field");
        QTest::newRow("consumer name") << QStringLiteral("consumer");
        QTest::newRow("card type from the terminal") << QStringLiteral("NMTIPORECE");
        QTest::newRow("NSU from the terminal") << QStringLiteral("CDNSUHOSTTEF");
    }
    void hostileTextsPrintAsText()
    {
        QFETCH(QString, field);
        QTcpServer server;
        QVERIFY(server.listen(QHostAddress::LocalHost));
        QByteArray received;
        connect(&server, &QTcpServer::newConnection, this, [&] {
            QTcpSocket* s = server.nextPendingConnection();
            connect(s, &QTcpSocket::readyRead, this, [&received, s] { received += s->readAll(); });
        });
        // ESC p 0 (open the drawer), GS V (cut), DEL and a line of the sender's making.
        static const char raw[] = "Ana\x1bp\x00\x19\xfa\x1dV\x42\x00\x7f\nValor creditado 999,00\r\n";
        const QString hostile = QString::fromLatin1(raw, sizeof raw - 1);
        auto ds = movement(QStringLiteral("4111**1111"));
        if (field != QLatin1String("consumer")) {
            ds->edit();
            ds->fieldByName(field).setValue(hostile);
            ds->post();
        }
        print(QStringLiteral("tcp://127.0.0.1:%1").arg(server.serverPort()), ds.get(), true, QString(),
              field == QLatin1String("consumer") ? hostile : QStringLiteral("Maria"));
        const QByteArray head("\x1b\x40\x1b\x74\x02", 5), tail("\n\n\n\x1d\x56\x42\x00", 7);
        QTRY_VERIFY(received.endsWith(tail));
        QVERIFY(received.startsWith(head));
        const QByteArray body = received.mid(head.size(), received.size() - head.size() - tail.size());
        QVERIFY(
            std::all_of(body.begin(), body.end(), [](char c) { return c == '\n' || (uchar(c) >= 0x20 && c != 0x7f); }));
        QCOMPARE(body.count("\nValor creditado"), 1); // the receipt's own line only
        QVERIFY(body.contains("Ana p  \xa3 VB   Valor"));
    }

    // Receipts in code page 850: every letter of a Portuguese, Spanish or English receipt that the
    // code page holds prints as itself; one it lacks prints as its closest letter, never as "?".
    void namesInTheCodePage_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QByteArray>("printed");
        QTest::newRow("pt") << QStringLiteral("Conceição Ávila, Pão, Crédito nº 5")
                            << QByteArray("Concei\x87\xc6o \xb5vila, P\xc6o, Cr\x82"
                                          "dito n\xa7 5");
        QTest::newRow("es") << QStringLiteral("Muñoz Ñandú, 3° piso, ¿Señal?")
                            << QByteArray("Mu\xa4oz \xa5"
                                          "and\xa3, 3\xf8 piso, \xa8Se\xa4"
                                          "al?");
        QTest::newRow("en and others") << QStringLiteral("Müller Jörg, Hélène Chloë, Ødegård")
                                       << QByteArray("M\x81ller J\x94rg, H\x82l\x8ane Chlo\x89, \x9d"
                                                     "deg\x86rd");
        QTest::newRow("accent typed apart") << QStringLiteral("Mun\u0303oz") << QByteArray("Mu\xa4oz");
        QTest::newRow("closest letter") << QStringLiteral("Łukasz Dvořák Ősz") << QByteArray("Lukasz Dvor\xa0k Osz");
        QTest::newRow("look-alikes") << QStringLiteral("Œuvre – “5 €”") << QByteArray("OEuvre - \"5 EUR\"");
        QTest::newRow("no letter near") << QStringLiteral("李 A") << QByteArray("? A");
    }
    void namesInTheCodePage()
    {
        QFETCH(QString, text);
        QFETCH(QByteArray, printed);
        QCOMPARE(PrinterPort::toCp850(text), printed);
    }

    void failedPrintRaisesAndGivesItsNumbersBack()
    {
        QTcpServer closed;
        QVERIFY(closed.listen(QHostAddress::LocalHost));
        const QString port = QStringLiteral("tcp://127.0.0.1:%1").arg(closed.serverPort());
        closed.close(); // nobody listens there any more
        auto ds = movement(QStringLiteral("4111**1111"));
        Printed out;
        try {
            out = print(port, ds.get());
            QFAIL("printed to a closed port");
        } catch (const KioskError& e) {
            QVERIFY2(e.message().contains(port), qPrintable(e.message()));
        }
        QVERIFY(out.coo.isEmpty());
        const CouponCounters counters(m_dir.filePath(QStringLiteral("printer-counters.json")));
        QCOMPARE(counters.current(port), (CouponCounters::Values{0, 0}));

        ClientDataSet empty(QStringLiteral("cdsMovCaixa"));
        QVERIFY_THROWS_EXCEPTION(KioskError, print(m_dir.filePath(QStringLiteral("r.txt")), &empty));
        QVERIFY_THROWS_EXCEPTION(KioskError, print(m_dir.filePath(QStringLiteral("r.txt")), nullptr));
    }

    // A device that does not take the receipt (a FIFO stands in for it) fails the print within the
    // printer's timeout and gives its numbers back; it never holds the kiosk. Should the print block
    // instead, a reader turns up after 3 s and drains the FIFO, so the test fails rather than hangs.
    void aDeviceThatDoesNotTakeTheReceiptFailsInTime_data()
    {
        QTest::addColumn<bool>("readerThatNeverReads");
        QTest::newRow("nobody reads") << false;
        QTest::newRow("a reader that never reads, the pipe full") << true;
    }
    void aDeviceThatDoesNotTakeTheReceiptFailsInTime()
    {
        QFETCH(bool, readerThatNeverReads);
        const QString fifo = m_dir.filePath(QStringLiteral("printer.fifo"));
        const QByteArray fifoPath = QFile::encodeName(fifo);
        QFile::remove(fifo);
        QCOMPARE(::mkfifo(fifoPath.constData(), 0600), 0);
        HostConfig::instance().printer().timeoutMs = 100;
        int readEnd = -1;
        if (readerThatNeverReads) {
            readEnd = ::open(fifoPath.constData(), O_RDONLY | O_NONBLOCK);
            QVERIFY(readEnd >= 0);
            const int fill = ::open(fifoPath.constData(), O_WRONLY | O_NONBLOCK);
            QVERIFY(fill >= 0);
            const QByteArray block(4096, 'x');
            while (::write(fill, block.constData(), size_t(block.size())) > 0) {
            }
            ::close(fill);
        }
        QSemaphore done;
        QThread* rescue = QThread::create([&] {
            if (done.tryAcquire(1, 3000))
                return;
            const int fd = readEnd >= 0 ? readEnd : ::open(fifoPath.constData(), O_RDONLY);
            ::fcntl(fd, F_SETFL, ::fcntl(fd, F_GETFL) & ~O_NONBLOCK);
            char buffer[4096];
            while (::read(fd, buffer, sizeof buffer) > 0) {
            }
            if (fd != readEnd)
                ::close(fd);
        });
        rescue->start();
        auto ds = movement(QStringLiteral("4111**1111"));
        QString failure;
        try {
            print(fifo, ds.get());
        } catch (const KioskError& e) {
            failure = e.message();
        }
        done.release();
        rescue->wait();
        delete rescue;
        if (readEnd >= 0)
            ::close(readEnd);
        QVERIFY2(failure.contains(fifo) && failure.contains(QStringLiteral("100 ms")), qPrintable(failure));
        const CouponCounters counters(m_dir.filePath(QStringLiteral("printer-counters.json")));
        QCOMPARE(counters.current(fifo), (CouponCounters::Values{0, 0}));
    }

    // A counters setting naming someone else's file never damages it, even when the store
    // could tell where the counters stand; a damaged file of the kiosk's own is rewritten then.
    void countersFileMustBeTheKiosksOwn_data()
    {
        QTest::addColumn<QByteArray>("content");
        QTest::addColumn<bool>("rewritten");
        QTest::newRow("a text file") << QByteArray("user=ana\nhome=/home/ana\n") << false;
        QTest::newRow("another program's JSON") << QByteArray("{\"theme\": \"dark\"}") << false;
        QTest::newRow("ours, cut short") << QByteArray("{\"printers\": {\"COM1\": {\"coo\": 12") << true;
    }
    void countersFileMustBeTheKiosksOwn()
    {
        QFETCH(QByteArray, content);
        QFETCH(bool, rewritten);
        const QString file = m_dir.filePath(QStringLiteral("someone-elses.conf"));
        QFile f(file);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate) && f.write(content) == content.size());
        f.close();
        HostConfig::instance().printer().countersFile = file;
        CouponCounters::setStoreFloor([](const CouponCounters::Owner&) { return CouponCounters::Values{40, 7}; });
        const auto restore = qScopeGuard([] {
            CouponCounters::setStoreFloor({});
            HostConfig::instance().printer().countersFile.clear();
        });
        auto ds = movement(QStringLiteral("4111**1111"));
        QString printed;
        try {
            printed = print(m_dir.filePath(QStringLiteral("r.txt")), ds.get()).coo;
        } catch (const KioskError& e) {
            QVERIFY2(!rewritten, qPrintable(e.message()));
        }
        QCOMPARE(printed, rewritten ? QStringLiteral("000041") : QString());
        QCOMPARE(readText(file) == QString::fromUtf8(content), !rewritten);
        QCOMPARE(CouponCounters::problem(file).isEmpty(), rewritten);
    }

    // What kioskctl status says of a printer target before it probes it.
    void printerTargets_data()
    {
        QTest::addColumn<QString>("target");
        QTest::addColumn<int>("verdict");
        const int usable = int(PrinterTarget::Verdict::Usable), warning = int(PrinterTarget::Verdict::Warning),
                  unusable = int(PrinterTarget::Verdict::Unusable);
        QTest::newRow("network printer") << QStringLiteral("tcp://10.0.0.20:9100") << usable;
        QTest::newRow("FIFO") << QStringLiteral("@/printer.fifo") << usable;
        QTest::newRow("socket") << QStringLiteral("@/printer.sock") << usable;
        QTest::newRow("receipts file") << QStringLiteral("@/receipts.txt") << usable;
        QTest::newRow("/dev/null") << QStringLiteral("/dev/null") << warning;
        QTest::newRow("folder") << QStringLiteral("@") << unusable;
        QTest::newRow("/proc") << QStringLiteral("/proc/self/status") << unusable;
        QTest::newRow("no such device") << QStringLiteral("/dev/usb/lp9") << unusable;
    }
    void printerTargets()
    {
        QFETCH(QString, target);
        QFETCH(int, verdict);
        target.replace(QLatin1Char('@'), m_dir.path());
        QFile::remove(m_dir.filePath(QStringLiteral("printer.fifo")));
        QCOMPARE(::mkfifo(QFile::encodeName(m_dir.filePath(QStringLiteral("printer.fifo"))).constData(), 0600), 0);
        QLocalServer socket;
        QLocalServer::removeServer(m_dir.filePath(QStringLiteral("printer.sock")));
        QVERIFY(socket.listen(m_dir.filePath(QStringLiteral("printer.sock"))));
        QFile receipts(m_dir.filePath(QStringLiteral("receipts.txt")));
        QVERIFY(receipts.open(QIODevice::Append));
        receipts.close();
        const PrinterTarget examined = PrinterTarget::examine(target);
        QVERIFY2(int(examined.verdict) == verdict, qPrintable(examined.detail));
        // A socket the check finds usable takes a receipt.
        if (target.endsWith(QLatin1String(".sock"))) {
            PrinterPort::send(target, QStringLiteral("RECIBO"), 1000);
            QVERIFY(socket.waitForNewConnection(1000));
        }
    }

    void unreadableCountersRefusePrinting()
    {
        const QString counters = m_dir.filePath(QStringLiteral("printer-counters.json"));
        QFile f(counters);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("{\"printers\": {\"COM1\": {\"coo\": 12");
        f.close();
        auto ds = movement(QStringLiteral("4111**1111"));
        QVERIFY_THROWS_EXCEPTION(KioskError, print(QStringLiteral("COM1"), ds.get()));
    }

    void fiscalMovementDate()
    {
        ManualClock clock(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 59)));
        Clock::setInstance(&clock);
        QCOMPARE(Wst00001::DataMoviFiscal(QStringLiteral("002")), DateTimeValue::fromDate(QDate(2026, 12, 8)));
        HostConfig::instance().printer().fiscalDate = QStringLiteral("2026-12-07");
        QCOMPARE(Wst00001::DataMoviFiscal(QStringLiteral("002")), DateTimeValue::fromDate(QDate(2026, 12, 7)));
        HostConfig::instance().printer().fiscalDate = QStringLiteral("07/12/2026");
        QVERIFY_THROWS_EXCEPTION(KioskError, Wst00001::DataMoviFiscal(QStringLiteral("002")));
        Clock::setInstance(nullptr);
    }
};

QTEST_MAIN(TestPrinter)
#include "tst_printer.moc"
