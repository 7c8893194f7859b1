// kiosk-bench: what a balance look-up, a 120-day evolution and a credit
// recording cost on the embedded SQLite store and on PostgreSQL, on a store with
// little history and one with years of it, and how kiosks sharing one
// PostgreSQL store behave under load.
#include "ConnectionString.h"
#include "DataPacket.h"
#include "DateTimeValue.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "Measure.h"
#include "ModuleInstances.h"
#include "SqlConnection.h"
#include "Srv_kvb52814.h"
#include "SyntheticStore.h"
#include "TdtmZelProxCodigo.h"
#include "TrdmRecSaldo.h"

#include <algorithm>
#include <QCommandLineParser>
#include <memory>
#include <QCoreApplication>
#include <QDateTime>
#include <QDir>
#include <QLoggingCategory>
#include <QProcess>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSqlQuery>
#include <QThread>
#include <cstdio>

using namespace Srv_kvb52814;

namespace {

void say(const QString& text)
{
    std::fprintf(stderr, "%s\n", qPrintable(text));
}

DataPacket movementPacket(double amount)
{
    QList<FieldDef> f;
    for (const char* n : {"NRORDTROCO", "IDTIPOMOVIVE", "DSMOVIVEND", "CDTIPORECE", "CDAGECHEQVEN", "CDBANCHEQVEN",
                          "CDCNTCHEQVEN", "NRCHEQUEVEND", "NRCARTBANCO", "CDNSUHOSTTEF"})
        f << FieldDef::make(QString::fromLatin1(n), FieldType::String, 50);
    for (const char* n : {"DTHRINCMOV", "DTMOVIMCAIXA", "DTDEPCHEQVEN"})
        f << FieldDef::make(QString::fromLatin1(n), FieldType::DateTime);
    for (const char* n : {"VRMOVIVEND", "VRMOVIVEOUT", "VRCOTINDOUT"})
        f << FieldDef::make(QString::fromLatin1(n), FieldType::Float);
    DataPacket p(f);
    const double now = DateTimeValue::now();
    // Every card transaction has its own NSU: the store refuses a second movement with one on a till.
    // Kiosk processes start within the same milliseconds: the process id keeps theirs apart.
    static const QString prefix = QStringLiteral("NSU%1-").arg(QCoreApplication::applicationPid());
    static qint64 sequence = QDateTime::currentMSecsSinceEpoch();
    p.appendRow({QString(), QStringLiteral("E"), QString(), QStringLiteral("010"), QString(), QString(), QString(),
                 QString(), QStringLiteral("****4242"), prefix + QString::number(++sequence), now, DateTimeValue::dateOnly(now),
                 QVariant(), amount, 0.0, 0.0});
    return p;
}

double turnOf(int minutes)
{
    return DateTimeValue::dateOnly(DateTimeValue::now()) + minutes / 1440.0;
}

// One credit of a consumer on a till, as the screen records it.
QString recordOnce(const QString& consumer, const QString& till, double turn)
{
    const QVariant r = setGravaCompCred(PacketVariant::of(movementPacket(15.0)), QStringLiteral("0001"), till,
                                        QString::fromLatin1(SyntheticStore::client), consumer, QStringLiteral("001"),
                                        QStringLiteral("2612081000"), QStringLiteral("000001"),
                                        QStringLiteral("000001"), QStringLiteral("BENCH") + till, turn,
                                        DateTimeValue::dateOnly(DateTimeValue::now()));
    return r.isValid() ? r.toString() : QString();
}

struct ModuleSession
{
    explicit ModuleSession(const QString& cs)
    {
        HostConfig::instance().setConnectionString(cs);
        session = std::make_unique<ModuleInstances::ServerSession>();
    }
    ~ModuleSession()
    {
        session.reset();
        TdtmZelProxCodigo::releasePooledConnections();
    }
    std::unique_ptr<ModuleInstances::ServerSession> session;
};

struct SizeResult
{
    qint64 lines = 0;
    Summary queries, evolve, record, commit;
};

// The generated store is written by statements that run for minutes: no call deadline for them.
QString pgConnectionFor(const QString& admin, const QString& db)
{
    return QString(admin).replace(QStringLiteral("Database=postgres"), QStringLiteral("Database=") + db) +
           QStringLiteral(";Call Timeout=0");
}

// Creates an empty store for an engine and returns its connection string.
QString freshStore(const QString& engine, const QString& name, const QString& workdir, const QString& pgAdmin)
{
    if (engine == QLatin1String("SQLITE")) {
        const QString file = workdir + QLatin1Char('/') + name + QStringLiteral(".db");
        for (const char* suffix : {"", "-wal", "-shm"})
            QFile::remove(file + QString::fromLatin1(suffix));
        return QStringLiteral("Provider=SQLITE;Data Source=") + file;
    }
    SqlConnection admin(QStringLiteral("benchAdmin"));
    admin.setConnectionString(pgAdmin);
    admin.open();
    admin.execDirect(QStringLiteral("DROP DATABASE IF EXISTS ") + name + QStringLiteral(" WITH (FORCE)"));
    admin.execDirect(QStringLiteral("CREATE DATABASE ") + name);
    return pgConnectionFor(pgAdmin, name);
}

SizeResult measureSize(const QString& engine, const StoreSize& size, const QString& cs, int calls)
{
    SizeResult r;
    r.lines = size.lines();
    {
        SqlConnection c(QStringLiteral("generator"));
        c.setConnectionString(cs);
        c.open();
        say(QStringLiteral("%1: generating %2 statement lines").arg(engine).arg(size.lines()));
        SyntheticStore::generate(c, size);
        c.execDirect(QStringLiteral("CREATE TABLE BENCH_COMMIT (N INTEGER)"));
    }
    ModuleSession session(cs);
    auto* rng = QRandomGenerator::global();
    const auto consumer = [&] { return SyntheticStore::consumerCode(1 + rng->bounded(size.consumers)); };
    const QString branch = QStringLiteral("0001"), client = QString::fromLatin1(SyntheticStore::client);

    r.queries = summarise(timeCalls(calls, [&](int) {
        const QString k = consumer();
        if (!PacketVariant::isPacket(getSaldoCons(branch, client, k)) || !PacketVariant::isPacket(getTotSalCons(client, k)))
            throw KioskError(QStringLiteral("balance query failed"));
    }));
    const double since = DateTimeValue::dateOnly(DateTimeValue::now()) - 120;
    r.evolve = summarise(timeCalls(calls, [&](int) { EvoluiSaldo(client, consumer(), branch, since); }));
    const double turn = turnOf(6 * 60);
    r.record = summarise(timeCalls(calls, [&](int) {
        const QString failure = recordOnce(consumer(), QStringLiteral("001"), turn);
        if (!failure.isEmpty())
            throw KioskError(failure);
    }));
    SqlConnection& c = *rdmRecSaldo->adcRecSaldo;
    r.commit = summarise(timeCalls(calls, [&](int i) {
        c.beginTrans();
        c.execDirect(QStringLiteral("INSERT INTO BENCH_COMMIT VALUES (%1)").arg(i)); // benchmark scratch table
        c.commitTrans();
    }));
    return r;
}

// ---- kiosks in processes ----------------------------------------------------

struct LoadResult
{
    QList<double> latencies;
    int failures = 0;
    double seconds = 0;
    QStringList firstFailures;
};

int runWorker(const QCommandLineParser& cli)
{
    ModuleSession session(cli.value(QStringLiteral("conn")));
    const int id = cli.value(QStringLiteral("id")).toInt();
    const double rate = cli.value(QStringLiteral("rate")).toDouble();
    const int seconds = cli.value(QStringLiteral("seconds")).toInt();
    const int firstConsumer = cli.value(QStringLiteral("first-consumer")).toInt();
    const int consumers = cli.value(QStringLiteral("consumers")).toInt();
    const double turn = cli.value(QStringLiteral("turn")).toDouble();
    const int same = cli.value(QStringLiteral("same-consumer")).toInt(); // 0: each kiosk its own consumers
    const QString till = QStringLiteral("001"); // every kiosk on one till: the counters are shared
    // Warm up (connections, prepared statements) before the measured run.
    const int firstConsumerOfRun = firstConsumer + 1;
    recordOnce(SyntheticStore::consumerCode(same > 0 ? same : firstConsumer), till, turn);
    // Kiosks are not synchronised: each starts at its own phase within the first period.
    const qint64 phaseMs = rate > 0 ? qint64(1000.0 / rate * id / qMax(1, cli.value(QStringLiteral("kiosks")).toInt())) : 0;
    const qint64 start = cli.value(QStringLiteral("start-ms")).toLongLong() + phaseMs;
    const qint64 wait = start - QDateTime::currentMSecsSinceEpoch();
    if (wait > 0)
        QThread::msleep(quint64(wait));
    QElapsedTimer clock;
    clock.start();
    int n = 0;
    while (clock.elapsed() < seconds * 1000) {
        double scheduled = clock.nsecsElapsed() / 1e6;
        if (rate > 0) {
            scheduled = n * 1000.0 / rate;
            if (scheduled >= seconds * 1000)
                break;
            const double ahead = scheduled - clock.nsecsElapsed() / 1e6;
            if (ahead > 0)
                QThread::usleep(quint64(ahead * 1000));
        }
        const int consumer = same > 0 ? same : firstConsumerOfRun + n % qMax(1, consumers - 1);
        const QString failure = recordOnce(SyntheticStore::consumerCode(consumer), till, turn);
        const double latency = clock.nsecsElapsed() / 1e6 - scheduled; // from when it was due
        if (failure.isEmpty())
            std::printf("ok %.3f\n", latency);
        else
            std::printf("err %s\n", qPrintable(QString(failure).replace(QLatin1Char('\n'), QLatin1Char(' '))));
        ++n;
    }
    std::fflush(stdout);
    return 0;
}

// With `sameConsumer` > 0 every kiosk recharges that one consumer.
LoadResult runKiosks(const QString& cs, int kiosks, double rate, int seconds, int consumers, double turn,
                     int sameConsumer = 0)
{
    QList<QProcess*> procs;
    const qint64 start = QDateTime::currentMSecsSinceEpoch() + 3000 + kiosks * 200;
    const int perKiosk = qMax(1, consumers / kiosks);
    for (int k = 0; k < kiosks; ++k) {
        auto* p = new QProcess;
        p->setProcessChannelMode(QProcess::SeparateChannels);
        p->start(QCoreApplication::applicationFilePath(),
                 {QStringLiteral("--worker"), QStringLiteral("--conn"), cs, QStringLiteral("--id"), QString::number(k),
                  QStringLiteral("--rate"), QString::number(rate), QStringLiteral("--seconds"), QString::number(seconds),
                  QStringLiteral("--first-consumer"), QString::number(1 + k * perKiosk), QStringLiteral("--consumers"),
                  QString::number(perKiosk), QStringLiteral("--turn"), QString::number(turn, 'f', 10),
                  QStringLiteral("--start-ms"), QString::number(start), QStringLiteral("--kiosks"), QString::number(kiosks),
                  QStringLiteral("--same-consumer"), QString::number(sameConsumer)});
        procs << p;
    }
    LoadResult r;
    r.seconds = seconds;
    for (QProcess* p : procs) {
        p->waitForFinished(seconds * 1000 + 120000);
        for (const QByteArray& line : p->readAllStandardOutput().split('\n')) {
            if (line.startsWith("ok "))
                r.latencies << line.mid(3).toDouble();
            else if (line.startsWith("err ")) {
                ++r.failures;
                if (r.firstFailures.size() < 3)
                    r.firstFailures << QString::fromUtf8(line.mid(4));
            }
        }
        delete p;
    }
    return r;
}

QString pgbenchTps(const QString& pgAdmin, int clients, int seconds)
{
    const QString bin = qEnvironmentVariable("KIOSK_PG_BIN");
    if (bin.isEmpty())
        return QStringLiteral("n/a (KIOSK_PG_BIN unset)");
    const ConnectionString cs(pgAdmin);
    freshStore(QStringLiteral("POSTGRESQL"), QStringLiteral("kiosk_bench_pgbench"), QString(), pgAdmin);
    const QStringList common = {QStringLiteral("-h"), cs.value(QStringLiteral("Host")), QStringLiteral("-p"),
                                cs.value(QStringLiteral("Port")), QStringLiteral("-U"), cs.value(QStringLiteral("User ID"))};
    QProcess init;
    init.start(bin + QStringLiteral("/pgbench"), common + QStringList{QStringLiteral("-i"), QStringLiteral("-q"), QStringLiteral("-s"), QStringLiteral("10"), QStringLiteral("kiosk_bench_pgbench")});
    init.waitForFinished(300000);
    QProcess run;
    run.start(bin + QStringLiteral("/pgbench"),
              common + QStringList{QStringLiteral("-c"), QString::number(clients), QStringLiteral("-j"), QStringLiteral("2"),
                                   QStringLiteral("-T"), QString::number(seconds), QStringLiteral("kiosk_bench_pgbench")});
    run.waitForFinished(seconds * 1000 + 120000);
    const QString out = QString::fromUtf8(run.readAllStandardOutput());
    const auto m = QRegularExpression(QStringLiteral("tps = ([0-9.]+)")).match(out);
    return m.hasMatch() ? m.captured(1) : QStringLiteral("n/a");
}

QString row(const QString& what, const Summary& s)
{
    return QStringLiteral("| %1 | %2 | %3 | %4 |").arg(what).arg(s.median, 0, 'f', 3).arg(s.p99, 0, 'f', 3).arg(s.count);
}

} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QLoggingCategory::setFilterRules(QStringLiteral("kiosk.*.info=false"));
    QCommandLineParser cli;
    cli.addHelpOption();
    const QList<QCommandLineOption> options = {
        QCommandLineOption(QStringLiteral("small"), QStringLiteral("Quick run: 2 000 consumers instead of 100 000.")),
        {QStringLiteral("engines"), QStringLiteral("sqlite,postgresql"), QStringLiteral("list"), QStringLiteral("sqlite,postgresql")},
        {QStringLiteral("consumers"), QStringLiteral("Consumers of the large store."), QStringLiteral("n")},
        {QStringLiteral("calls"), QStringLiteral("Calls per measurement."), QStringLiteral("n"), QStringLiteral("300")},
        {QStringLiteral("kiosks"), QStringLiteral("Open-loop kiosks."), QStringLiteral("n"), QStringLiteral("16")},
        {QStringLiteral("closed-kiosks"), QStringLiteral("Closed-loop kiosks."), QStringLiteral("n"), QStringLiteral("8")},
        {QStringLiteral("sqlite-writers"), QStringLiteral("Writer processes on one SQLite store (0: skip)."), QStringLiteral("n"), QStringLiteral("4")},
        {QStringLiteral("seconds"), QStringLiteral("Length of each load run."), QStringLiteral("s"), QStringLiteral("20")},
        {QStringLiteral("workdir"), QStringLiteral("Folder for SQLite stores."), QStringLiteral("dir"), QDir::tempPath() + QStringLiteral("/kiosk-bench")},
        {QStringLiteral("pg"), QStringLiteral("Admin connection string (default KIOSK_TEST_PG)."), QStringLiteral("cs")},
        QCommandLineOption(QStringLiteral("worker")), {QStringLiteral("conn"), {}, QStringLiteral("cs")}, {QStringLiteral("id"), {}, QStringLiteral("n")},
        {QStringLiteral("rate"), {}, QStringLiteral("r")}, {QStringLiteral("first-consumer"), {}, QStringLiteral("n")},
        {QStringLiteral("turn"), {}, QStringLiteral("d")}, {QStringLiteral("start-ms"), {}, QStringLiteral("ms")},
        {QStringLiteral("same-consumer"), {}, QStringLiteral("n"), QStringLiteral("0")},
    };
    cli.addOptions(options);
    cli.process(app);
    try {
        if (cli.isSet(QStringLiteral("worker")))
            return runWorker(cli);

        const QString workdir = cli.value(QStringLiteral("workdir"));
        QDir().mkpath(workdir);
        const QString pgAdmin = cli.isSet(QStringLiteral("pg")) ? cli.value(QStringLiteral("pg")) : qEnvironmentVariable("KIOSK_TEST_PG");
        const int calls = cli.value(QStringLiteral("calls")).toInt();
        StoreSize tiny;
        tiny.consumers = 10;
        StoreSize large;
        large.consumers = cli.isSet(QStringLiteral("consumers")) ? cli.value(QStringLiteral("consumers")).toInt()
                          : cli.isSet(QStringLiteral("small"))   ? 2000
                                                                  : 100000;
        const QStringList engines = cli.value(QStringLiteral("engines")).toUpper().split(QLatin1Char(','));
        QStringList report;
        report << QStringLiteral("Machine: %1 cores (QThread::idealThreadCount).").arg(QThread::idealThreadCount());
        QString largePg, largeSqlite;
        for (const QString& engine : engines) {
            if (engine == QLatin1String("POSTGRESQL") && pgAdmin.isEmpty()) {
                say(QStringLiteral("skipping PostgreSQL: no admin connection (KIOSK_TEST_PG or --pg)"));
                continue;
            }
            SizeResult small, big;
            small = measureSize(engine, tiny, freshStore(engine, QStringLiteral("kiosk_bench_tiny"), workdir, pgAdmin), calls);
            const QString bigCs = freshStore(engine, QStringLiteral("kiosk_bench_large"), workdir, pgAdmin);
            big = measureSize(engine, large, bigCs, calls);
            if (engine == QLatin1String("POSTGRESQL"))
                largePg = bigCs;
            else if (engine == QLatin1String("SQLITE"))
                largeSqlite = bigCs;
            const int mustCommit = 2 + 1 + tiny.families; // two number reservations, the recording, one per family
            report << QString() << QStringLiteral("### %1").arg(engine) << QString()
                   << QStringLiteral("| measurement (ms) | median | p99 | calls |") << QStringLiteral("|---|---|---|---|");
            for (const auto& [label, r] : {std::pair{QStringLiteral("%1 lines").arg(small.lines), small},
                                           std::pair{QStringLiteral("%1 lines").arg(big.lines), big}}) {
                report << row(QStringLiteral("getSaldoCons + getTotSalCons, ") + label, r.queries)
                       << row(QStringLiteral("EvoluiSaldo 120 days, ") + label, r.evolve)
                       << row(QStringLiteral("setGravaCompCred with evolution, ") + label, r.record)
                       << row(QStringLiteral("bare durable commit, ") + label, r.commit);
            }
            report << QString()
                   << QStringLiteral("- history cost (large / small median): queries %1x, 120-day evolution %2x (target <= 1.5x)")
                          .arg(big.queries.median / small.queries.median, 0, 'f', 2)
                          .arg(big.evolve.median / small.evolve.median, 0, 'f', 2)
                   << QStringLiteral("- recording / %1 bare commits (large store): %2x (target <= 1.5x); recording / one bare commit: %3x")
                          .arg(mustCommit)
                          .arg(big.record.median / (mustCommit * big.commit.median), 0, 'f', 2)
                          .arg(big.record.median / big.commit.median, 0, 'f', 1);
        }
        const int writers = cli.value(QStringLiteral("sqlite-writers")).toInt();
        if (!largeSqlite.isEmpty() && writers > 0) {
            // The embedded store admits one writer at a time: the others queue on its lock.
            const int seconds = cli.value(QStringLiteral("seconds")).toInt();
            say(QStringLiteral("SQLite: %1 writer processes on one store").arg(writers));
            report << QString() << QStringLiteral("### %1 writer processes on one SQLite store (one till)").arg(writers)
                   << QString() << QStringLiteral("| run | recordings | failures | rec/s | p50 ms | p99 ms | longest ms |")
                   << QStringLiteral("|---|---|---|---|---|---|---|");
            for (const auto& [name, rate] : {std::pair{QStringLiteral("saturation (closed loop)"), 0.0},
                                             std::pair{QStringLiteral("1/s each (open loop)"), 1.0}}) {
                const LoadResult w = runKiosks(largeSqlite, writers, rate, seconds, large.consumers,
                                               turnOf(rate > 0 ? 11 * 60 : 10 * 60));
                const Summary sw = summarise(w.latencies);
                const double longest = w.latencies.isEmpty() ? 0 : *std::max_element(w.latencies.begin(), w.latencies.end());
                report << QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 | %7 |")
                              .arg(name).arg(sw.count).arg(w.failures).arg(sw.count / w.seconds, 0, 'f', 1)
                              .arg(sw.median, 0, 'f', 2).arg(sw.p99, 0, 'f', 2).arg(longest, 0, 'f', 2);
                for (const QString& f : w.firstFailures)
                    report << QStringLiteral("- failure seen: ") + f;
            }
        }
        if (!largePg.isEmpty()) {
            const int seconds = cli.value(QStringLiteral("seconds")).toInt();
            const int kiosks = cli.value(QStringLiteral("kiosks")).toInt();
            const int closed = cli.value(QStringLiteral("closed-kiosks")).toInt();
            say(QStringLiteral("PostgreSQL: kiosks under load"));
            const LoadResult one = runKiosks(largePg, 1, 1.0, seconds, large.consumers, turnOf(7 * 60));
            const double turnOpen = turnOf(8 * 60);
            const LoadResult many = runKiosks(largePg, kiosks, 1.0, seconds, large.consumers, turnOpen);
            const LoadResult sat = runKiosks(largePg, closed, 0, seconds, large.consumers, turnOf(9 * 60));
            const double turnSame = turnOf(10 * 60);
            const LoadResult same = runKiosks(largePg, kiosks, 1.0, seconds, large.consumers, turnSame, 1);
            SqlConnection check(QStringLiteral("check"));
            check.setConnectionString(largePg);
            check.open();
            QSqlQuery q(check.database());
            q.prepare(QStringLiteral("SELECT COUNT(*), COUNT(DISTINCT NRSEQUMOVI) FROM MOVCAIXA WHERE CDCAIXA = '001' AND DTABERCAIX = :T"));
            q.bindValue(QStringLiteral(":T"), DateTimeValue::toIsoText(turnOpen));
            q.exec();
            q.next();
            const Summary s1 = summarise(one.latencies), sk = summarise(many.latencies), ss = summarise(sat.latencies),
                          sc = summarise(same.latencies);
            // Every credit of the same-consumer run is a statement line, and the balance is their sum.
            QSqlQuery lines(check.database());
            lines.prepare(QStringLiteral("SELECT COUNT(*), (SELECT VRSALDCONFAM FROM SALDOCONS S WHERE S.CDCLIENTE = :C AND "
                                         "S.CDCONSUMIDOR = :K AND S.CDFAMILISALD = '001') - (SELECT SUM(CASE IDTPMOVEXT "
                                         "WHEN 'C' THEN VRMOVEXTCONS ELSE -VRMOVEXTCONS END) FROM EXTRATOCONS A WHERE "
                                         "A.CDCLIENTE = :C AND A.CDCONSUMIDOR = :K AND A.CDFAMILISALD = '001') "
                                         "FROM EXTRATOCONS WHERE CDCLIENTE = :C AND CDCONSUMIDOR = :K AND DTABERCAIX = :T"));
            lines.bindValue(QStringLiteral(":C"), QString::fromLatin1(SyntheticStore::client));
            lines.bindValue(QStringLiteral(":K"), SyntheticStore::consumerCode(1));
            lines.bindValue(QStringLiteral(":T"), DateTimeValue::toIsoText(turnSame));
            lines.exec();
            lines.next();
            report << QString() << QStringLiteral("### Kiosks on one PostgreSQL (one till, shared counters)") << QString()
                   << QStringLiteral("| run | recordings | failures | rec/s | p50 ms | p99 ms |") << QStringLiteral("|---|---|---|---|---|---|");
            const auto loadRow = [](const QString& name, const LoadResult& r, const Summary& s) {
                return QStringLiteral("| %1 | %2 | %3 | %4 | %5 | %6 |")
                    .arg(name).arg(s.count).arg(r.failures).arg(s.count / r.seconds, 0, 'f', 1)
                    .arg(s.median, 0, 'f', 2).arg(s.p99, 0, 'f', 2);
            };
            report << loadRow(QStringLiteral("1 kiosk, 1/s (open loop)"), one, s1)
                   << loadRow(QStringLiteral("%1 kiosks, 1/s each (open loop)").arg(kiosks), many, sk)
                   << loadRow(QStringLiteral("%1 kiosks, saturation (closed loop)").arg(closed), sat, ss)
                   << loadRow(QStringLiteral("%1 kiosks, 1/s each, all the same consumer").arg(kiosks), same, sc)
                   << QString()
                   << QStringLiteral("- open loop: p99 with %1 kiosks / single-kiosk p50 = %2x (target <= 3x)")
                          .arg(kiosks).arg(sk.p99 / s1.median, 0, 'f', 2)
                   << QStringLiteral("- movement numbers of the %1-kiosk turn: %2 rows, %3 distinct (%4 measured recordings plus one warm-up per kiosk)")
                          .arg(kiosks).arg(q.value(0).toInt()).arg(q.value(1).toInt()).arg(sk.count)
                   << QStringLiteral("- same consumer from %1 kiosks: p99 %2 ms (%3x single p50); %4 statement lines for "
                                     "%5 measured recordings plus %1 warm-ups, %6 failures; balance minus sum of lines: %7")
                          .arg(kiosks).arg(sc.p99, 0, 'f', 2).arg(sc.p99 / s1.median, 0, 'f', 2)
                          .arg(lines.value(0).toInt()).arg(sc.count).arg(same.failures)
                          .arg(lines.value(1).toDouble(), 0, 'f', 2)
                   << QStringLiteral("- pgbench default script, %1 clients, same cluster: %2 tps")
                          .arg(closed).arg(pgbenchTps(pgAdmin, closed, seconds));
            for (const QString& f : many.firstFailures + sat.firstFailures + same.firstFailures)
                report << QStringLiteral("- failure seen: ") + f;
        }
        std::printf("%s\n", qPrintable(report.join(QLatin1Char('\n'))));
        return 0;
    } catch (const KioskError& e) {
        std::fprintf(stderr, "kiosk-bench: %s\n", e.what());
        return 1;
    }
}
