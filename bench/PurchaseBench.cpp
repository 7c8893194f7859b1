// kiosk-purchase-bench: what a card purchase costs on the real recharge screen, from the
// payment terminal's approval to the new balance painted, with the stand-in card-payment library
// answering at once and receipts going to a file; how much of it is spent in the store
// (inside setGravaCompCred and the balance queries RecSaldo runs), against the
// recording's own cost measured in the same run on the same store.
//
// The store calls are timed where the screen makes them: the link replaces each server
// function by a wrapper that times the real one (GNU ld --wrap, see CMakeLists.txt).
#include "Cli_kvb52814.h"
#include "ClientDataSet.h"
#include "ConnectionString.h"
#include "DataPacket.h"
#include "HomeLookUpStall.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "Measure.h"
#include "MessagePresenter.h"
#include "CliSiTefTerminal.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "TfrmRecSaldo.h"
#include "Wst00001.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCommandLineParser>
#include <QDir>
#include <QElapsedTimer>
#include <QEvent>
#include <QLabel>
#include <QLoggingCategory>
#include <QProcess>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTemporaryDir>
#include <QTimer>
#include <cstdio>

namespace
{
QElapsedTimer clockSinceStart;

double nowMs()
{
    return clockSinceStart.nsecsElapsed() / 1e6;
}

// Store time of the purchase under way, by kind of call.
struct StoreTime {
    double recording = 0; // setGravaCompCred
    double balances = 0;  // getSaldoCons + getTotSalCons (+ getBuscaPorta)
    double other = 0;     // the ledger look-up by NSU, the day's first coupon
    void clear() { *this = StoreTime(); }
} storeTime;

template <typename F> auto timed(double& bucket, F&& call)
{
    const double start = nowMs();
    auto result = call();
    bucket += nowMs() - start;
    return result;
}
} // namespace

// The wrappers the link puts in place of the server functions.
using Text = const QString&;
QVariant realSetGravaCompCred(
    const QVariant&, Text, Text, Text, Text, Text, Text, Text, Text, Text, double,
    double) asm("__real__ZN12Srv_kvb5281416setGravaCompCredERK8QVariantRK7QStringS5_S5_S5_S5_S5_S5_S5_S5_dd");
QVariant wrapSetGravaCompCred(
    const QVariant& p, Text a, Text b, Text c, Text d, Text e, Text f, Text g, Text h, Text i, double j,
    double k) asm("__wrap__ZN12Srv_kvb5281416setGravaCompCredERK8QVariantRK7QStringS5_S5_S5_S5_S5_S5_S5_S5_dd");
QVariant wrapSetGravaCompCred(const QVariant& p, Text a, Text b, Text c, Text d, Text e, Text f, Text g, Text h, Text i,
                              double j, double k)
{
    return timed(storeTime.recording, [&] { return realSetGravaCompCred(p, a, b, c, d, e, f, g, h, i, j, k); });
}

QVariant realGetSaldoCons(Text, Text, Text) asm("__real__ZN12Srv_kvb5281412getSaldoConsERK7QStringS2_S2_");
QVariant wrapGetSaldoCons(Text a, Text b, Text c) asm("__wrap__ZN12Srv_kvb5281412getSaldoConsERK7QStringS2_S2_");
QVariant wrapGetSaldoCons(Text a, Text b, Text c)
{
    return timed(storeTime.balances, [&] { return realGetSaldoCons(a, b, c); });
}

QVariant realGetTotSalCons(Text, Text) asm("__real__ZN12Srv_kvb5281413getTotSalConsERK7QStringS2_");
QVariant wrapGetTotSalCons(Text a, Text b) asm("__wrap__ZN12Srv_kvb5281413getTotSalConsERK7QStringS2_");
QVariant wrapGetTotSalCons(Text a, Text b)
{
    return timed(storeTime.balances, [&] { return realGetTotSalCons(a, b); });
}

QVariant realGetBuscaPorta(Text, Text) asm("__real__ZN12Srv_kvb5281413getBuscaPortaERK7QStringS2_");
QVariant wrapGetBuscaPorta(Text a, Text b) asm("__wrap__ZN12Srv_kvb5281413getBuscaPortaERK7QStringS2_");
QVariant wrapGetBuscaPorta(Text a, Text b)
{
    return timed(storeTime.balances, [&] { return realGetBuscaPorta(a, b); });
}

QVariant realGetMovCaixaNsu(Text, Text, Text) asm("__real__ZN12Srv_kvb5281414getMovCaixaNsuERK7QStringS2_S2_");
QVariant wrapGetMovCaixaNsu(Text a, Text b, Text c) asm("__wrap__ZN12Srv_kvb5281414getMovCaixaNsuERK7QStringS2_S2_");
QVariant wrapGetMovCaixaNsu(Text a, Text b, Text c)
{
    return timed(storeTime.other, [&] { return realGetMovCaixaNsu(a, b, c); });
}

QVariant realGetMovCaixaNsuOn(Text, Text, Text,
                              double) asm("__real__ZN12Srv_kvb5281414getMovCaixaNsuERK7QStringS2_S2_d");
QVariant wrapGetMovCaixaNsuOn(Text a, Text b, Text c,
                              double d) asm("__wrap__ZN12Srv_kvb5281414getMovCaixaNsuERK7QStringS2_S2_d");
QVariant wrapGetMovCaixaNsuOn(Text a, Text b, Text c, double d)
{
    return timed(storeTime.other, [&] { return realGetMovCaixaNsuOn(a, b, c, d); });
}

QVariant realSetGravaCupomInicial(Text, Text, Text,
                                  double) asm("__real__ZN12Srv_kvb5281420setGravaCupomInicialERK7QStringS2_S2_d");
QVariant wrapSetGravaCupomInicial(Text a, Text b, Text c,
                                  double d) asm("__wrap__ZN12Srv_kvb5281420setGravaCupomInicialERK7QStringS2_S2_d");
QVariant wrapSetGravaCupomInicial(Text a, Text b, Text c, double d)
{
    return timed(storeTime.other, [&] { return realSetGravaCupomInicial(a, b, c, d); });
}

namespace
{
void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

// The kiosk's card terminal, noting the moment it approves.
class TimedTerminal : public PaymentTerminal
{
public:
    explicit TimedTerminal(std::shared_ptr<PaymentTerminal> inner) : m_inner(std::move(inner)) {}
    TerminalAnswer authorise(const TerminalRequest& request) override
    {
        TerminalAnswer answer = m_inner->authorise(request);
        approvedAt = nowMs();
        storeTime.clear();
        return answer;
    }
    void confirm(const QString& nsu) override { m_inner->confirm(nsu); }
    void undo(const QString& nsu) override { m_inner->undo(nsu); }
    std::optional<TerminalState> status(const QString& nsu) override { return m_inner->status(nsu); }
    QList<PendingTransaction> pending() override { return m_inner->pending(); }
    double approvedAt = -1;

private:
    std::shared_ptr<PaymentTerminal> m_inner;
};

// Says yes to the confirmation; anything else it is told is a failed purchase.
class Answers : public MessagePresenter
{
public:
    void ask(const QString&, Answer answered) override
    {
        QTimer::singleShot(0, [answered] { answered(true); });
    }
    void notify(const QString& text, Closed) override { notices << text; }
    QStringList notices;
};

// Notes the first paint of the family balance after its caption changed.
class PaintWatch : public QObject
{
public:
    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Paint && armed) {
            auto* label = static_cast<QLabel*>(watched);
            if (label->text() != before) {
                paintedAt = nowMs();
                armed = false;
            }
        }
        return false;
    }
    bool armed = false;
    QString before;
    double paintedAt = -1;
};

struct Figures {
    QList<double> total, store, recording, balances, other, direct;
    QStringList failures;
    double lockedStall = -1; // longest gap between two ticks of the screen's thread, store locked
};

// Plays the purchases on the running screen, interleaved with recordings called
// directly for another consumer (the recording's own figure under the same load).
class Driver : public QObject
{
public:
    Driver(int purchases, TimedTerminal& terminal, Answers& answers, Figures& figures, QString lockedStore)
        : m_purchases(purchases), m_terminal(terminal), m_answers(answers), m_figures(figures),
          m_lockedStore(std::move(lockedStore))
    {
    }

    bool eventFilter(QObject* watched, QEvent* event) override
    {
        if (event->type() == QEvent::Show && watched->objectName() == QLatin1String("frmRecSaldo") && !m_started) {
            m_started = true;
            QTimer::singleShot(200, this, [this, watched] { run(static_cast<TfrmRecSaldo*>(watched)); });
        }
        return false;
    }

private:
    void click(TfrmRecSaldo* s, const QString& name) { s->control<QAbstractButton>(name)->click(); }

    void run(TfrmRecSaldo* s)
    {
        auto* balance = s->control<QLabel>(QStringLiteral("lblVrSaldoCons"));
        PaintWatch watch;
        balance->installEventFilter(&watch);
        const int warmUp = std::min(m_purchases / 10 + 1, 10);
        for (int i = -warmUp; i < m_purchases; ++i) {
            directRecording(s, i >= 0);
            click(s, QStringLiteral("blbMenu1"));
            for (const char* key : {"dxbTeclado1", "dxbTeclado0", "dxbTeclado0"}) // 1,00
                click(s, QString::fromLatin1(key));
            watch.before = balance->text();
            watch.armed = true;
            watch.paintedAt = -1;
            m_terminal.approvedAt = -1;
            const int noticesBefore = int(m_answers.notices.size());
            QTimer::singleShot(0, s, [this, s] { click(s, QStringLiteral("blbCredit")); });
            click(s, QStringLiteral("dxbTclEnter"));
            QElapsedTimer limit;
            limit.start();
            while (watch.paintedAt < 0 && limit.elapsed() < 5000)
                QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            if (m_answers.notices.size() > noticesBefore || watch.paintedAt < 0 || m_terminal.approvedAt < 0) {
                m_figures.failures << (m_answers.notices.size() > noticesBefore
                                           ? m_answers.notices.last()
                                           : QStringLiteral("no new balance painted"));
                continue;
            }
            if (m_packet.isEmpty())
                m_packet = s->cdsMovCaixa->data();
            if (i < 0)
                continue;
            m_figures.total << watch.paintedAt - m_terminal.approvedAt;
            m_figures.recording << storeTime.recording;
            m_figures.balances << storeTime.balances;
            m_figures.store << storeTime.recording + storeTime.balances;
            m_figures.other << storeTime.other;
        }
        balance->removeEventFilter(&watch);
        if (!m_lockedStore.isEmpty())
            m_figures.lockedStall = stallWithTheStoreLocked(s);
        click(s, QStringLiteral("bbbVoltar"));
    }

    // One purchase while another program holds the SQLite store's write lock for 20 s:
    // the longest the screen's thread went without running its event loop (a 10 ms tick).
    double stallWithTheStoreLocked(TfrmRecSaldo* s)
    {
        QSqlDatabase locker = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("benchLocker"));
        locker.setDatabaseName(m_lockedStore);
        double longest = -1;
        if (locker.open() && QSqlQuery(locker).exec(QStringLiteral("BEGIN EXCLUSIVE"))) {
            QTimer::singleShot(20000, [&locker] { QSqlQuery(locker).exec(QStringLiteral("COMMIT")); });
            double last = nowMs();
            longest = 0;
            QTimer tick;
            QObject::connect(&tick, &QTimer::timeout, [&] {
                const double now = nowMs();
                longest = std::max(longest, now - last);
                last = now;
            });
            tick.start(10);
            click(s, QStringLiteral("blbMenu1"));
            click(s, QStringLiteral("dxbTeclado1"));
            click(s, QStringLiteral("dxbTclEnter"));
            click(s, QStringLiteral("blbCredit"));
            QElapsedTimer limit;
            limit.start();
            while ((s->property("purchaseRunning").toBool() || limit.elapsed() < 21000) && limit.elapsed() < 120000)
                QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 50);
        }
        locker.close();
        locker = QSqlDatabase();
        QSqlDatabase::removeDatabase(QStringLiteral("benchLocker"));
        return longest;
    }

    // setGravaCompCred as the recording benchmark calls it: one credit with a coupon
    // number, for the demo's second consumer, with the packet the screen just built.
    void directRecording(TfrmRecSaldo* s, bool counted)
    {
        if (m_packet.isEmpty())
            return; // until the screen has built one
        DataPacket p = m_packet;
        const int nsu = p.fieldIndex(QStringLiteral("CDNSUHOSTTEF"));
        p.rows()[0][nsu] = QStringLiteral("DIRECT%1").arg(++m_directs);
        const double start = nowMs();
        const QVariant r = Srv_kvb52814::setGravaCompCred(
            PacketVariant::of(p), s->parametros.CDFILIAL, s->parametros.CDCAIXA, s->parametros.CDCLIENTE,
            QStringLiteral("000000000000102"), QStringLiteral("001"), QStringLiteral("2612081000"),
            QStringLiteral("%1").arg(m_directs, 6, 10, QLatin1Char('0')), QStringLiteral("000001"), QString(),
            s->parametros.DTABERCAIX, s->parametros.DTABERCAIX);
        if (r.isValid())
            m_figures.failures << QStringLiteral("direct recording: ") + r.toString();
        else if (counted)
            m_figures.direct << nowMs() - start;
    }

    int m_purchases;
    TimedTerminal& m_terminal;
    Answers& m_answers;
    Figures& m_figures;
    QString m_lockedStore; // the SQLite store's file, when the locked-store stall is measured
    bool m_started = false;
    int m_directs = 0;
    DataPacket m_packet;
};

void runTool(const QString& tool, const QStringList& args, const QString& store)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KIOSK_DB"), store);
    env.insert(QStringLiteral("KIOSK_CONFIG"), QStringLiteral("/dev/null"));
    p.setProcessEnvironment(env);
    p.start(tool, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || p.exitCode() != 0)
        throw KioskError(QStringLiteral("%1 %2: %3")
                             .arg(tool, args.join(QLatin1Char(' ')), QString::fromUtf8(p.readAllStandardError())));
}

QString freshStore(const QString& engine, const QString& dir, const QString& pgAdmin)
{
    if (engine == QLatin1String("SQLITE"))
        return QStringLiteral("Provider=SQLITE;Data Source=") + dir + QStringLiteral("/store.db");
    const QString db = QStringLiteral("kiosk_purchase_bench");
    {
        SqlConnection admin(QStringLiteral("benchAdmin"));
        admin.setConnectionString(pgAdmin);
        admin.open();
        admin.execDirect(QStringLiteral("DROP DATABASE IF EXISTS ") + db + QStringLiteral(" WITH (FORCE)"));
        admin.execDirect(QStringLiteral("CREATE DATABASE ") + db);
    }
    return QString(pgAdmin).replace(QStringLiteral("Database=postgres"), QStringLiteral("Database=") + db);
}

QString row(const QString& name, const QList<double>& ms)
{
    const Summary s = summarise(ms);
    return QStringLiteral("| %1 | %2 | %3 | %4 |")
        .arg(name)
        .arg(s.median, 0, 'f', 3)
        .arg(s.p99, 0, 'f', 3)
        .arg(s.count);
}

QStringList measure(const QString& engine, int purchases, const QString& pgAdmin, const QString& kioskctl)
{
    QTemporaryDir dir;
    const QString data = dir.path() + QStringLiteral("/data");
    QDir().mkpath(data);
    const QString store = freshStore(engine, dir.path(), pgAdmin);
    say(QStringLiteral("%1: demo store and files").arg(engine));
    runTool(kioskctl, {QStringLiteral("init-db")}, store);
    runTool(kioskctl, {QStringLiteral("demo-data")}, store);
    runTool(kioskctl, {QStringLiteral("demo-files"), data}, store);

    HostConfig& config = HostConfig::instance();
    config.setConnectionString(store);
    config.setDataFolder(data);
    config.printer().allPorts = data + QStringLiteral("/receipts.txt");
    // The card terminal of every purchase: our stand-in card-payment library through dlopen, approving at once.
    config.terminal() = TerminalSettings();
    config.terminal().mode = QStringLiteral("approve");
    config.terminal().library = QStringLiteral(STANDIN_LIBRARY);
    config.terminal().terminalId = QStringLiteral("KS000001");
    config.terminal().transactionsFile = data + QStringLiteral("/terminal-transactions.db");
    auto terminal = std::make_shared<TimedTerminal>(std::make_shared<CliSiTefTerminal>(
        config.terminal(), data + QStringLiteral("/terminal-documents.db"),
        data + QStringLiteral("/tef-store-receipts.txt")));
    Wst00001::setPaymentTerminal(terminal);
    Answers answers;
    MessagePresenter::setInstance(&answers);

    Figures figures;
    Driver driver(purchases, *terminal, answers, figures,
                  engine == QLatin1String("SQLITE") ? dir.path() + QStringLiteral("/store.db") : QString());
    qApp->installEventFilter(&driver);
    DataPacket consumer({FieldDef::make(QStringLiteral("CDCLIENTE"), FieldType::String, 21),
                         FieldDef::make(QStringLiteral("CDCONSUMIDOR"), FieldType::String, 21),
                         FieldDef::make(QStringLiteral("NMCONSUMIDOR"), FieldType::String, 60)});
    consumer.appendRow({QStringLiteral("000000000000001"), QStringLiteral("000000000000101"),
                        QStringLiteral("Maria da Conceição Souza")});
    say(QStringLiteral("%1: %2 purchases on the screen").arg(engine).arg(purchases));
    Cli_kvb52814::CriaRecSaldo(PacketVariant::of(consumer));
    qApp->removeEventFilter(&driver);
    MessagePresenter::setInstance(nullptr);
    Wst00001::setPaymentTerminal(nullptr);

    QStringList out;
    out << QString() << QStringLiteral("#### %1").arg(engine) << QString()
        << QStringLiteral("| measurement (ms) | median | p99 | purchases |") << QStringLiteral("|---|---|---|---|")
        << row(QStringLiteral("approval to new balance painted"), figures.total)
        << row(QStringLiteral("database part: setGravaCompCred + RecSaldo's queries"), figures.store)
        << row(QStringLiteral("  setGravaCompCred in the purchase"), figures.recording)
        << row(QStringLiteral("  getSaldoCons + getTotSalCons in the purchase"), figures.balances)
        << row(QStringLiteral("other store calls (look-up by NSU, first coupon)"), figures.other)
        << row(QStringLiteral("setGravaCompCred called directly (the recording's own figure)"), figures.direct);
    const double totalMedian = summarise(figures.total).median, storeMedian = summarise(figures.store).median,
                 directMedian = summarise(figures.direct).median;
    out << QString()
        << QStringLiteral("- database part / recording's own figure (medians): %1x (target <= 1.5x); database part is "
                          "%2% of approval to new balance")
               .arg(storeMedian / directMedian, 0, 'f', 2)
               .arg(100 * storeMedian / totalMedian, 0, 'f', 0);
    if (figures.lockedStall >= 0)
        out << QStringLiteral("- longest screen stall during a purchase with the store locked for 20 s: %1 ms "
                              "(target at most 100)")
                   .arg(figures.lockedStall, 0, 'f', 0);
    if (!figures.failures.isEmpty())
        out << QStringLiteral("- %1 purchase(s) or recording(s) failed, first: %2")
                   .arg(figures.failures.size())
                   .arg(figures.failures.first());
    return out;
}
// The home screen while a code is looked up on a server that never answers.
QString homeStall(const QString& kioskctl)
{
    QTemporaryDir dir;
    const QString store = QStringLiteral("Provider=SQLITE;Data Source=") + dir.path() + QStringLiteral("/store.db");
    runTool(kioskctl, {QStringLiteral("init-db")}, store);
    runTool(kioskctl, {QStringLiteral("demo-files"), dir.path()}, store);
    say(QStringLiteral("home screen: a code looked up on a server that accepts and never answers"));
    const double stall = homeLookUpStallOnASilentServer(dir.path());
    if (stall < 0)
        return QStringLiteral("- home screen look-up on a silent server: did not end within a minute");
    return QStringLiteral("- longest home screen stall while a code is looked up on a server that accepts and never "
                          "answers (10 s connect time-out): %1 ms (target at most 100)")
        .arg(stall, 0, 'f', 0);
}
} // namespace

int main(int argc, char* argv[])
{
    qputenv("QT_QPA_PLATFORM", qgetenv("QT_QPA_PLATFORM").isEmpty() ? "offscreen" : qgetenv("QT_QPA_PLATFORM"));
    QApplication app(argc, argv);
    clockSinceStart.start();
    QLoggingCategory::setFilterRules(QStringLiteral("kiosk.*.info=false"));
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Card purchases on the recharge screen: approval to new balance."));
    cli.addHelpOption();
    cli.addOptions({{QStringLiteral("engines"), QStringLiteral("sqlite,postgresql"), QStringLiteral("list"),
                     QStringLiteral("sqlite,postgresql")},
                    {QStringLiteral("purchases"), QStringLiteral("Purchases per engine."), QStringLiteral("n"),
                     QStringLiteral("200")},
                    {QStringLiteral("pg"), QStringLiteral("Admin connection string (default KIOSK_TEST_PG)."),
                     QStringLiteral("cs")}});
    cli.process(app);
    try {
        const QString pgAdmin =
            cli.isSet(QStringLiteral("pg")) ? cli.value(QStringLiteral("pg")) : qEnvironmentVariable("KIOSK_TEST_PG");
        const QString kioskctl = QCoreApplication::applicationDirPath() + QStringLiteral("/kioskctl");
        QLocale::setDefault(QLocale(QStringLiteral("pt_BR")));
        QStringList report;
        for (const QString& engine : cli.value(QStringLiteral("engines")).toUpper().split(QLatin1Char(','))) {
            if (engine == QLatin1String("POSTGRESQL") && pgAdmin.isEmpty()) {
                say(QStringLiteral("skipping PostgreSQL: no admin connection (KIOSK_TEST_PG or --pg)"));
                continue;
            }
            report << measure(engine, cli.value(QStringLiteral("purchases")).toInt(), pgAdmin, kioskctl);
        }
        report << QString() << homeStall(kioskctl);
        std::printf("%s\n", qPrintable(report.join(QLatin1Char('\n'))));
        return 0;
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kiosk-purchase-bench: %s\n", e.what());
        return 1;
    }
}
