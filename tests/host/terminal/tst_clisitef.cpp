// The card terminal that speaks the CliSiTef C interface, through dlopen on our stand-in
// library: every prompt kind, giving up at each, the endings, settling after a crash.
#include "CliSiTefTerminal.h"
#include "HostConfig.h"
#include "TerminalTransactionsFile.h"
#include "TerminalPrompter.h"

#include <QTemporaryDir>
#include <QtTest>

// A value of the current row of the test's table.
#define ROW(Type, name) (*static_cast<Type*>(QTest::qData(#name, ::qMetaTypeId<Type>())))

namespace
{
// Answers from a list, in order ("-" gives up), and writes down what it was asked.
struct ListPrompter : TerminalPrompter {
    QStringList answers;
    QStringList asked;
    bool abort = false;
    std::optional<QString> next()
    {
        const QString a = answers.isEmpty() ? QStringLiteral("-") : answers.takeFirst();
        return a == QLatin1String("-") ? std::nullopt : std::optional(a);
    }
    std::optional<int> menu(const QString& title, const QStringList& options) override
    {
        asked << QStringLiteral("menu %1: %2").arg(title, options.join(QLatin1Char(',')));
        const auto a = next();
        return a ? std::optional(a->toInt()) : std::nullopt;
    }
    std::optional<bool> question(const QString& text) override
    {
        asked << QStringLiteral("question ") + text;
        const auto a = next();
        return a ? std::optional(*a == QLatin1String("yes")) : std::nullopt;
    }
    std::optional<QString> field(const Field& f) override
    {
        asked << QStringLiteral("field %1 %2-%3 kind %4").arg(f.prompt).arg(f.minLength).arg(f.maxLength).arg(int(f.kind));
        return next();
    }
    bool pressKey(const QString& text) override
    {
        asked << QStringLiteral("key ") + text;
        return next().has_value();
    }
    bool abortRequested() override { return abort; }
};
} // namespace

class TestCliSiTef : public QObject
{
    Q_OBJECT
    QTemporaryDir m_root;
    QDir m_dir;
    int m_case = 0;
    QStringList m_shown;

    std::unique_ptr<CliSiTefTerminal> terminal(const QString& library = QStringLiteral(STANDIN_LIBRARY))
    {
        TerminalSettings& s = HostConfig::instance().terminal();
        s.library = library;
        auto t = std::make_unique<CliSiTefTerminal>(s, m_dir.filePath(QStringLiteral("documents.db")),
                                                    m_dir.filePath(QStringLiteral("store-receipts.txt")));
        t->setDisplay([this](const QString& text) { m_shown << text; });
        return t;
    }
    static TerminalRequest sale(int function = 3)
    {
        TerminalRequest r;
        r.serverAddress = QStringLiteral("127.0.0.1");
        r.amount = Money::fromCents(2550);
        r.date = QStringLiteral("20261209");
        r.time = QStringLiteral("101500");
        r.operatorId = QStringLiteral("0001");
        r.function = function;
        return r;
    }
    static TerminalTransactionsFile standInFile()
    {
        return TerminalTransactionsFile(TerminalTransactionsFile::defaultFile());
    }

private slots:
    void init()
    {
        // Each case on files of its own.
        m_dir.setPath(m_root.filePath(QString::number(++m_case)));
        QVERIFY(m_dir.mkpath(QStringLiteral(".")));
        TerminalSettings s;
        s.terminalId = QStringLiteral("KS000001");
        s.transactionsFile = m_dir.filePath(QStringLiteral("terminal-transactions.db"));
        HostConfig::instance().terminal() = s;
        m_shown.clear();
    }

    void everyPromptKind_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<int>("function");
        QTest::addColumn<QStringList>("answers");
        QTest::addColumn<QStringList>("asked");
        QTest::addColumn<QString>("shown"); // a text the display received
        QTest::addColumn<QString>("receipt");
        auto list = [](const char* s) { return QString::fromUtf8(s).split(QLatin1Char('|'), Qt::SkipEmptyParts); };
        QTest::newRow("messages, masked") << "message:Cartão 4111 1111 1111 1111 lido|customer:Olá|operator:oculto" << 3
                                          << QStringList() << QStringList() << "Cartão 4111**1111 lido"
                                          << "CREDITO";
        QTest::newRow("header") << "header:Parcela 1 de 1" << 3 << QStringList() << QStringList() << "Parcela 1 de 1"
                                << "CREDITO";
        QTest::newRow("menu answers the index") << "" << 0 << list("1") << list("menu Forma de pagamento: Crédito,Débito")
                                                << "Transação aprovada" << "DEBITO";
        QTest::newRow("question") << "question:Confirma R$ 25,50?" << 3 << list("yes")
                                  << list("question Confirma R$ 25,50?") << "Digite a senha" << "CREDITO";
        QTest::newRow("field, sizes kept") << "field:CPF=11-11" << 3 << list("123|12345678901")
                                           << list("field CPF 11-11 kind 0|field CPF 11-11 kind 0") << "Digite a senha"
                                           << "CREDITO";
        QTest::newRow("secret and amount") << "secret:Código=4-6|amount:Troco=1-9" << 2 << list("1234|10,00")
                                           << list("field Código 4-6 kind 1|field Troco 1-9 kind 2")
                                           << "Digite a senha" << "DEBITO";
        QTest::newRow("press a key") << "key:Retire o cartão" << 3 << list("ok") << list("key Retire o cartão")
                                     << "Transação aprovada" << "CREDITO";
        QTest::newRow("unknown command and field, QR code") << "command:77:x|value:9999:y|qrcode:abc" << 3
                                                            << QStringList() << QStringList() << "abc" << "CREDITO";
    }
    void everyPromptKind()
    {
        QFETCH(QString, script);
        QFETCH(int, function);
        QFETCH(QStringList, answers);
        HostConfig::instance().terminal().script = script;
        auto t = terminal();
        auto prompter = std::make_shared<ListPrompter>();
        prompter->answers = answers;
        t->setPrompter(prompter);
        const TerminalAnswer a = t->authorise(sale(function));
        QVERIFY2(a.approved, qPrintable(a.text));
        QCOMPARE(prompter->asked, ROW(QStringList, asked));
        QVERIFY2(m_shown.contains(ROW(QString, shown)), qPrintable(m_shown.join(QLatin1Char('/'))));
        QVERIFY(!m_shown.join(QString()).contains(QLatin1String("1111 1111")));
        QVERIFY(a.customerReceipt.contains(QLatin1String("VIA CLIENTE")));
        QVERIFY(a.customerReceipt.contains(ROW(QString, receipt)));
        QVERIFY(a.customerReceipt.contains(QLatin1String("4111**1111")) && !a.customerReceipt.contains("4111111111"));
        QCOMPARE(a.authorisation, a.nsu.right(6));
        QCOMPARE(a.bankCode, QStringLiteral("001"));
        QCOMPARE(t->status(a.nsu), TerminalState::Pending);
        t->confirm(a.nsu);
        QCOMPARE(standInFile().ofDocument(a.document).value(0).state, TerminalState::Confirmed);
    }

    void givingUpAtEachPrompt_data()
    {
        QTest::addColumn<QString>("script");
        QTest::addColumn<QString>("answers");
        QTest::addColumn<bool>("prompter");
        QTest::addColumn<bool>("abort");
        QTest::newRow("menu") << "menu:Parcelas=À vista,Parcelado" << "-" << true << false;
        QTest::newRow("question given up") << "question:Confirma?" << "-" << true << false;
        QTest::newRow("question answered no") << "question:Confirma?" << "no" << true << false;
        QTest::newRow("field") << "field:CPF=11-11" << "-" << true << false;
        QTest::newRow("field wrong three times") << "field:CPF=11-11" << "1|2|3" << true << false;
        QTest::newRow("press a key") << "key:Atenção" << "-" << true << false;
        QTest::newRow("waiting for the card") << "" << "" << true << true;
        QTest::newRow("a value the kiosk does not hold") << "silent:Loja" << "" << true << false;
        QTest::newRow("no prompter at a question") << "question:Confirma?" << "" << false << false;
    }
    void givingUpAtEachPrompt()
    {
        QFETCH(QString, answers);
        HostConfig::instance().terminal().script = ROW(QString, script);
        auto t = terminal();
        auto prompter = std::make_shared<ListPrompter>();
        prompter->answers = answers.split(QLatin1Char('|'), Qt::SkipEmptyParts);
        prompter->abort = ROW(bool, abort);
        if (ROW(bool, prompter))
            t->setPrompter(prompter);
        const TerminalAnswer a = t->authorise(sale());
        QVERIFY(!a.approved);
        QCOMPARE(a.resultCode, -2);
        QVERIFY(t->pending().isEmpty());
        QCOMPARE(standInFile().count(), 0);
        // The library was left ready: the next sale goes through.
        HostConfig::instance().terminal().script.clear();
        prompter->abort = false;
        QVERIFY(t->authorise(sale()).approved);
    }

    void endings_data()
    {
        QTest::addColumn<QString>("library");
        QTest::addColumn<QString>("mode");
        QTest::addColumn<QString>("terminalId");
        QTest::addColumn<int>("code");
        QTest::addColumn<QString>("text");
        QTest::newRow("declined") << STANDIN_LIBRARY << "decline" << "KS000001" << 5 << "Transação negada";
        QTest::newRow("no communication") << STANDIN_LIBRARY << "fail" << "KS000001" << -5 << "Sem comunicação";
        QTest::newRow("library lacks an entry point") << LIBRARY_WITHOUT_ENTRY_POINTS << "approve" << "KS000001" << -1
                                                      << "lacks the entry point ConfiguraIntSiTefInterativo";
        QTest::newRow("no library there") << "/nonexistent/libclisitef.so" << "approve" << "KS000001" << -1
                                          << "cannot be loaded";
        QTest::newRow("terminal id reserved") << STANDIN_LIBRARY << "approve" << "KS000950" << -1 << "000900-000999";
    }
    void endings()
    {
        HostConfig::instance().terminal().mode = ROW(QString, mode);
        HostConfig::instance().terminal().terminalId = ROW(QString, terminalId);
        auto t = terminal(ROW(QString, library));
        const TerminalAnswer a = t->authorise(sale());
        QVERIFY(!a.approved);
        QCOMPARE(a.resultCode, ROW(int, code));
        QVERIFY2(a.text.contains(ROW(QString, text)), qPrintable(a.text));
        if (a.resultCode == -1) {
            QVERIFY(t->failure().contains(ROW(QString, text)));
            QVERIFY_THROWS_EXCEPTION(TerminalError, t->pending());
        }
    }

    void settlingAfterACrash_data()
    {
        QTest::addColumn<bool>("confirm");
        QTest::newRow("confirmed") << true;
        QTest::newRow("undone") << false;
    }
    void settlingAfterACrash()
    {
        QFETCH(bool, confirm);
        TerminalAnswer approved;
        {
            auto t = terminal();
            approved = t->authorise(sale());
            QVERIFY(approved.approved);
            QCOMPARE(t->authorise(sale()).document.coupon.toInt(), approved.document.coupon.toInt() + 1);
        } // the kiosk dies: nothing finished
        auto fresh = terminal();
        const QList<PendingTransaction> pending = fresh->pending();
        QCOMPARE(pending.size(), 2);
        QCOMPARE(pending.first().nsu, approved.nsu);
        QCOMPARE(pending.first().amount, Money::fromCents(2550));
        confirm ? fresh->confirm(approved.nsu) : fresh->undo(approved.nsu);
        const TerminalState wanted = confirm ? TerminalState::Confirmed : TerminalState::Undone;
        QCOMPARE(standInFile().ofDocument(approved.document).value(0).state, wanted);
        QCOMPARE(terminal()->status(approved.nsu), wanted);
        QCOMPARE(fresh->pending().size(), 1);
        QVERIFY_THROWS_EXCEPTION(TerminalError, confirm ? fresh->undo(approved.nsu) : fresh->confirm(approved.nsu));
    }
};

QTEST_GUILESS_MAIN(TestCliSiTef)
#include "tst_clisitef.moc"
