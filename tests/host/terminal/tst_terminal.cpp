// Payment terminal package: card number masking, the stand-in library's answers and the
// durability of its transactions, CriaDedicado's outputs, the [terminal] settings,
// and the module loading its sibling packages.
#include "CardNumberMask.h"
#include "DurableFile.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "StandInTerminal.h"
#include "StandInTransactions.h"
#include "Wst00001.h"

#include <QScopeGuard>
#include <QFile>
#include <QLibrary>
#include <QSet>
#include <QTemporaryDir>
#include <QtTest>
#include <link.h>

namespace
{
TerminalRequest request(double amount)
{
    TerminalRequest r;
    r.amount = *Money::fromUnits(amount);
    r.date = QStringLiteral("20261208");
    r.time = QStringLiteral("101500");
    r.function = 3; // a credit card sale
    r.description = QStringLiteral("[Compra de Créd,00000000,1,25,00]");
    return r;
}

struct TerminalCall {
    QString nsu, authorisation, card, bank, network;
    qint32 code = 99;
    bool run(double amount, double again)
    {
        return Wst00001::CriaDedicado(
            nsu, authorisation, card, bank, network, code, QStringLiteral("127.0.0.1"), QString(), QString(), 0, 0,
            *Money::fromUnits(amount), 0, QStringLiteral("20261208"), QStringLiteral("101500"), QStringLiteral("0001"),
            QStringLiteral("[10;15;24;27;28;29;31;32;33;40]"), 1, 0, *Money::fromUnits(again), QStringLiteral("N"),
            QStringLiteral("002"), 0, QStringLiteral("[Compra de Créd,00000000,1,25,00]"));
    }
};

// A transaction's state in the stand-in's file; nothing when the file does not hold it.
std::optional<TerminalState> stateOf(const StandInTransactions& t, const QString& nsu)
{
    for (const StandInTransactions::Transaction& x : t.transactions())
        if (x.nsu == nsu)
            return x.state;
    return std::nullopt;
}

int loadedWst(struct dl_phdr_info* info, size_t, void* data)
{
    const QString name = QString::fromLocal8Bit(info->dlpi_name);
    for (const char* lib : {"libWst00001.so", "libWst00002.so", "libWst00003.so"}) {
        if (name.endsWith(QLatin1String(lib)))
            static_cast<QStringList*>(data)->append(QString::fromLatin1(lib));
    }
    return 0;
}
} // namespace

class TestTerminal : public QObject
{
    Q_OBJECT
private slots:
    void masking_data()
    {
        QTest::addColumn<QString>("card");
        QTest::addColumn<QString>("masked");
        QTest::newRow("16 digits") << "4111111111111111"
                                   << "4111**1111";
        QTest::newRow("19 digits") << "6062825624254001234"
                                   << "6062**1234";
        QTest::newRow("grouped") << "5555 4444-3333.1111"
                                 << "5555**1111";
        QTest::newRow("10 digits") << "1234567890"
                                   << "1234**7890";
        QTest::newRow("9 digits") << "123456789"
                                  << "*****6789";
        QTest::newRow("4 digits") << "1234"
                                  << "****";
        QTest::newRow("empty") << ""
                               << "";
        QTest::newRow("terminal's own mask") << "411111******1111"
                                             << "4111**1111";
        QTest::newRow("letters never shown") << "4111ABCD11112222"
                                             << "4111**2222";
    }
    void masking()
    {
        QFETCH(QString, card);
        QFETCH(QString, masked);
        const QString once = CardNumberMask::mask(card);
        QCOMPARE(once, masked);
        QVERIFY(once.size() <= CardNumberMask::fieldWidth);
        QCOMPARE(CardNumberMask::mask(once), once); // masking again changes nothing
    }

    void maskingWithinText_data()
    {
        QTest::addColumn<QString>("text");
        QTest::addColumn<QString>("masked");
        QTest::newRow("card in a receipt") << "CARTAO 4111111111111111 VISA" << "CARTAO 4111**1111 VISA";
        QTest::newRow("grouped, twice") << "5555-4444-3333-1111 / 6062 8256 2425 4001"
                                        << "5555**1111 / 6062**4001";
        QTest::newRow("NSU and 23-digit document kept") << "NSU 123456789012 DOC 01234562411201615110012"
                                                        << "NSU 123456789012 DOC 01234562411201615110012";
    }
    void maskingWithinText()
    {
        QFETCH(QString, text);
        QFETCH(QString, masked);
        QCOMPARE(CardNumberMask::maskWithin(text), masked);
    }

    void simulatorStatesSurviveReopening()
    {
        QTemporaryDir dir;
        const QString file = dir.filePath(QStringLiteral("tx.jsonl"));
        TerminalSettings settings;
        StandInTransactions terminal(settings, file);

        const TerminalAnswer a = terminal.authorise(request(25));
        const TerminalAnswer b = terminal.authorise(request(10));
        const TerminalAnswer c = terminal.authorise(request(7.5));
        QVERIFY(a.approved && b.approved && c.approved);
        QVERIFY(a.nsu != b.nsu && b.nsu != c.nsu);
        QCOMPARE(stateOf(terminal, a.nsu), TerminalState::Pending);
        terminal.confirm(a.nsu);
        terminal.confirm(a.nsu); // repeated: harmless
        terminal.undo(b.nsu);
        QVERIFY_THROWS_EXCEPTION(TerminalError, terminal.undo(a.nsu));    // confirmed stays confirmed
        QVERIFY_THROWS_EXCEPTION(TerminalError, terminal.confirm(b.nsu)); // undone stays undone
        QVERIFY_THROWS_EXCEPTION(TerminalError, terminal.confirm(QStringLiteral("999")));

        // A second process (the technician's tool) sees the same states, and carries on numbering.
        StandInTransactions reopened(settings, file);
        QCOMPARE(stateOf(reopened, a.nsu), TerminalState::Confirmed);
        QCOMPARE(stateOf(reopened, b.nsu), TerminalState::Undone);
        QCOMPARE(stateOf(reopened, c.nsu), TerminalState::Pending);
        QCOMPARE(stateOf(reopened, QStringLiteral("999")), std::nullopt);
        // The technician's reader sees them too.
        QCOMPARE(TerminalTransactionsFile(terminal.file()).recent(1).first().nsu, c.nsu);
        const auto list = reopened.transactions();
        QCOMPARE(list.size(), 3);
        QCOMPARE(list.at(0).amount, 25.0);
        QCOMPARE(list.at(0).cardNumber, QStringLiteral("4111**1111"));
        const TerminalAnswer d = reopened.authorise(request(1));
        QVERIFY(d.nsu.toLongLong() > c.nsu.toLongLong());
        // Other kiosks' simulated servers (other transactions files) number apart from this one.
        QTemporaryDir other;
        QSet<QString> prefixes{d.nsu.left(3)};
        for (const char* kiosk : {"k2", "k3"}) {
            StandInTransactions next(TerminalSettings(), other.filePath(QLatin1String(kiosk) + QStringLiteral(".jsonl")));
            const QString first = next.authorise(request(5)).nsu;
            QCOMPARE(first.size(), 12);
            prefixes.insert(first.left(3));
        }
        QVERIFY(prefixes.size() > 1);

        // No full card number ever reaches the file (nor its write-ahead log).
        QByteArray stored;
        for (const QString& name : {terminal.file(), terminal.file() + QStringLiteral("-wal")}) {
            QFile f(name);
            if (f.open(QIODevice::ReadOnly))
                stored += f.readAll();
        }
        QVERIFY(stored.contains("4111**1111"));
        QVERIFY(!stored.contains("4111111111111111"));
    }

    // An NSU is never handed out twice: not after the transactions file of an earlier version
    // is taken over (a torn last line in it), nor after the transactions file or the
    // counter is lost or damaged.
    void nsusNeverComeRound_data()
    {
        QTest::addColumn<QString>("damage");
        QTest::newRow("file of the earlier version taken over") << "";
        QTest::newRow("transactions file lost") << "transactions";
        QTest::newRow("transactions file damaged") << "garbage";
        QTest::newRow("counter damaged") << "counter";
    }
    void nsusNeverComeRound()
    {
        QFETCH(QString, damage);
        QTemporaryDir dir;
        const QString legacy = dir.filePath(QStringLiteral("tx.jsonl"));
        {
            QFile f(legacy);
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("{\"nsu\":\"100000000041\",\"state\":\"pending\",\"amount\":25,\"card\":\"4111**1111\"}\n"
                    "{\"nsu\":\"100000000042\",\"state\":\"pending\",\"amount\":10}\n"
                    "{\"nsu\":\"100000000042\",\"state\":\"confirmed\"}\n"
                    "{\"nsu\":\"100000000041\",\"state\":\"conf"); // killed mid-write
        }
        QString last;
        {
            StandInTransactions terminal(TerminalSettings(), legacy);
            QCOMPARE(stateOf(terminal, QStringLiteral("100000000041")), TerminalState::Pending);
            QCOMPARE(stateOf(terminal, QStringLiteral("100000000042")), TerminalState::Confirmed);
            last = terminal.authorise(request(5)).nsu;
            QVERIFY(last.toLongLong() > 100000000042LL);
        }
        const QString db = dir.filePath(QStringLiteral("tx.db"));
        if (damage == QLatin1String("transactions") || damage == QLatin1String("garbage")) {
            for (const QString& suffix : {QString(), QStringLiteral("-wal"), QStringLiteral("-shm")})
                QFile::remove(db + suffix);
            if (damage == QLatin1String("garbage")) {
                QFile f(db);
                QVERIFY(f.open(QIODevice::WriteOnly));
                f.write(QByteArray(4096, 'x'));
            }
        } else if (damage == QLatin1String("counter")) {
            QFile f(db + QStringLiteral(".nsu"));
            QVERIFY(f.open(QIODevice::WriteOnly));
            f.write("not a number");
        }
        if (damage == QLatin1String("garbage")) {
            // A damaged file is not opened over: the kiosk says so and a technician moves it aside.
            QVERIFY_THROWS_EXCEPTION(KioskError, StandInTransactions(TerminalSettings(), legacy).transactions());
            QFile::remove(db);
        }
        StandInTransactions again(TerminalSettings(), legacy);
        const QString next = again.authorise(request(5)).nsu;
        QVERIFY2(next.toLongLong() > last.toLongLong(), qPrintable(next + " after " + last));
    }

    // Through the kiosk's terminal on the stand-in library: what the terminal's display says
    // while it works, and what reaches the stand-in's file.
    void declinesAndFailures()
    {
        QTemporaryDir root;
        const QDir dir(root.path());
        TerminalSettings settings;
        settings.mode = QStringLiteral("decline");
        StandInTerminal declining(dir, settings);
        QStringList prompts;
        declining.setDisplay([&](const QString& prompt) { prompts << prompt; });
        const TerminalAnswer declined = declining.authorise(request(25));
        QCOMPARE(prompts, (QStringList{"Insira ou aproxime o cartão", "Digite a senha", "Transação negada"}));
        QVERIFY(!declined.approved);
        QCOMPARE(declining.transactions().size(), 1);
        QCOMPARE(declining.transactions().at(0).state, TerminalState::Declined);

        settings.mode = QStringLiteral("approve");
        StandInTerminal approving(dir, settings);
        QVERIFY(!approving.authorise(request(0)).approved); // nothing to charge: never reaches the library
        QVERIFY(!approving.authorise(request(-3)).approved);
        prompts.clear();
        approving.setDisplay([&](const QString& prompt) { prompts << prompt; });
        QVERIFY(approving.authorise(request(25)).approved);
        QCOMPARE(prompts, (QStringList{"Insira ou aproxime o cartão", "Digite a senha", "Transação aprovada"}));

        settings.mode = QStringLiteral("fail");
        settings.errorText = QStringLiteral("Sem conexão com o servidor");
        StandInTerminal failing(dir, settings);
        prompts.clear();
        failing.setDisplay([&](const QString& prompt) { prompts << prompt; });
        const TerminalAnswer failed = failing.authorise(request(25));
        QVERIFY(!failed.approved);
        QCOMPARE(failed.resultCode, -5); // no communication; its words were on the display
        QCOMPARE(prompts, (QStringList{"Insira ou aproxime o cartão", "Digite a senha", "Sem conexão com o servidor"}));
        QCOMPARE(failing.transactions().size(), 2); // a failure never reached the server
    }

    void criaDedicadoOutputs_data()
    {
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("bankCode");
        QTest::addColumn<double>("amount");
        QTest::addColumn<double>("again");
        QTest::addColumn<bool>("approved");
        QTest::newRow("approved with bank") << "approve"
                                            << "237" << 25.0 << 25.0 << true;
        QTest::newRow("approved without bank") << "approve"
                                               << "" << 25.0 << 25.0 << true;
        QTest::newRow("declined") << "decline"
                                  << "237" << 25.0 << 25.0 << false;
        QTest::newRow("failed") << "fail"
                                << "237" << 25.0 << 25.0 << false;
        QTest::newRow("amounts differ") << "approve"
                                        << "237" << 25.0 << 2.5 << false;
    }
    void criaDedicadoOutputs()
    {
        QFETCH(QString, mode);
        QFETCH(QString, bankCode);
        QFETCH(double, amount);
        QFETCH(double, again);
        QFETCH(bool, approved);
        QTemporaryDir dir;
        TerminalSettings settings;
        settings.mode = mode;
        settings.bankCode = bankCode;
        settings.cardNumber = QStringLiteral("5555444433331111");
        auto terminal = std::make_shared<StandInTerminal>(QDir(dir.path()), settings);
        Wst00001::setPaymentTerminal(terminal);
        Wst00001::InstanciaFuncoes_Pgt00000();
        TerminalCall call;
        Wst00001::setCardFunction(3); // a credit card sale
        QCOMPARE(call.run(amount, again), approved);
        if (approved) {
            Wst00001::FinalizaFuncoes_Pgt00000();
            QVERIFY(!call.nsu.isEmpty());
            QCOMPARE(call.card, QStringLiteral("5555**1111"));
            QCOMPARE(call.bank, bankCode);
            QCOMPARE(call.code, 0);
            QCOMPARE(terminal->status(call.nsu), TerminalState::Pending);
            QCOMPARE(terminal->transactions().at(0).amount, 25.0);
        } else {
            QVERIFY(call.nsu.isEmpty());
            QVERIFY(call.card.isEmpty());
            QVERIFY(call.code != 0);
        }
        Wst00001::setPaymentTerminal(nullptr);
    }

    void proceduresCanBeReplaced()
    {
        static int calls = 0;
        Wst00001::InstanciaFuncoes_Pgt00000 = [] { ++calls; };
        Wst00001::InstanciaFuncoes_Pgt00000();
        QCOMPARE(calls, 1);
        Wst00001::restoreDefaults();
        QTemporaryDir dir;
        Wst00001::setPaymentTerminal(std::make_shared<StandInTerminal>(QDir(dir.path())));
        Wst00001::InstanciaFuncoes_Pgt00000();
        QCOMPARE(calls, 1);
        Wst00001::setPaymentTerminal(nullptr);
    }

    void settingsFromFileAndEnvironment()
    {
        QTemporaryDir dir;
        const QString conf = dir.filePath(QStringLiteral("kiosk.conf"));
        QFile f(conf);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("[terminal]\nmode = decline\ndelayMs = 800\nbankCode =\ncardNumber = 6062825624254001\n"
                "library = /opt/clisitef/libclisitef.so\nstore = 12345678\nterminal = KS000001\n"
                "[printer]\nport.COM1 = tcp://10.0.0.20:9100\nfiscalDate = 2026-12-07\n");
        f.close();
        // The tests' environment chooses the stand-in library; here the file does.
        const QByteArray testMode = qgetenv("KIOSK_TERMINAL_MODE");
        const QByteArray testLibrary = qgetenv("KIOSK_TERMINAL_LIBRARY");
        qunsetenv("KIOSK_TERMINAL_MODE");
        qunsetenv("KIOSK_TERMINAL_LIBRARY");
        auto restoreMode = qScopeGuard([&] {
            qputenv("KIOSK_TERMINAL_MODE", testMode);
            qputenv("KIOSK_TERMINAL_LIBRARY", testLibrary);
        });
        qputenv("KIOSK_TERMINAL_DELAY_MS", "50");
        qputenv("KIOSK_SITEF_TERMINAL", "KS000002");
        HostConfig::instance().load(conf);
        qunsetenv("KIOSK_TERMINAL_DELAY_MS");
        qunsetenv("KIOSK_SITEF_TERMINAL");
        const TerminalSettings& t = HostConfig::instance().terminal();
        QVERIFY(t.configured());
        QCOMPARE(t.mode, QStringLiteral("decline"));
        QCOMPARE(t.delayMs, 50);
        QCOMPARE(t.bankCode, QString());
        QCOMPARE(t.cardNumber, QStringLiteral("6062825624254001"));
        QVERIFY(t.usesLibrary());
        QCOMPARE(t.library + t.store + t.terminalId, QStringLiteral("/opt/clisitef/libclisitef.so12345678KS000002"));
        QCOMPARE(HostConfig::instance().printer().ports.value(QStringLiteral("COM1")),
                 QStringLiteral("tcp://10.0.0.20:9100"));

        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[terminal]\nmode = maybe\n");
        f.close();
        QVERIFY_THROWS_EXCEPTION(ConfigError, HostConfig::instance().load(conf));
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write("[terminal]\ndelayMs = soon\n");
        f.close();
        QVERIFY_THROWS_EXCEPTION(ConfigError, HostConfig::instance().load(conf));
        // A configuration that names no terminal configures none: purchases are refused.
        HostConfig::instance().load(QStringLiteral("/dev/null"));
        QVERIFY(!HostConfig::instance().terminal().configured());
    }

    void moduleLoadsItsSiblingPackages()
    {
        QLibrary module(QStringLiteral(KIOSK_MODULE_FILE));
        QVERIFY2(module.load(), qPrintable(module.errorString()));
        QStringList loaded;
        dl_iterate_phdr(loadedWst, &loaded);
        loaded.removeDuplicates();
        loaded.sort();
        QCOMPARE(loaded, QStringList({"libWst00001.so", "libWst00002.so", "libWst00003.so"}));
    }
};

QTEST_GUILESS_MAIN(TestTerminal)
#include "tst_terminal.moc"
