// kiosk-screen-bench: the recharge screen against a bare Qt window of the same
// size, on the platform of the environment (QT_QPA_PLATFORM, or X11 under
// xvfb-run): time from process launch to the first paint showing the demo
// consumer's balances, resident memory at that point, and the CPU time the open,
// untouched screen uses. Each program runs in turn, several times; medians count.
// The kiosk runs with --demo: KIOSK_DB and KIOSK_DATA_DIR name the demo store.
#include "ProcessFigures.h"

#include <QCommandLineParser>
#include <QCoreApplication>
#include <QHash>
#include <QProcess>
#include <QRegularExpression>
#include <algorithm>
#include <cstdio>

namespace {
struct Figures
{
    QHash<QString, double> values; // ms, rss-kb, hwm-kb or cpu-ms, wall-ms
};

[[noreturn]] void die(const QString& text)
{
    std::fprintf(stderr, "kiosk-screen-bench: %s\n", qPrintable(text));
    std::exit(1);
}

// Runs a program with KIOSK_LAUNCH_NS set to the moment of its launch and reads
// the one line of figures starting with `tag`; its log is shown only on failure.
// A run that must end the screen from inside a wait may be ended by the kiosk
// itself (status 1) once its figures are out: `lenient` accepts that.
Figures run(const QString& program, const QStringList& args, const QString& tag, bool lenient = false)
{
    QProcess p;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("KIOSK_LAUNCH_NS"), QString::number(ProcessFigures::monotonicNanoseconds()));
    p.setProcessEnvironment(env);
    p.start(program, args);
    if (!p.waitForFinished(120000) || p.exitStatus() != QProcess::NormalExit || (p.exitCode() != 0 && !lenient))
        die(QStringLiteral("%1 %2 failed (exit %3):\n%4")
                .arg(program, args.join(QLatin1Char(' ')))
                .arg(p.exitCode())
                .arg(QString::fromUtf8(p.readAllStandardError())));
    const QString out = QString::fromUtf8(p.readAllStandardOutput());
    for (const QString& line : out.split(QLatin1Char('\n'))) {
        if (!line.startsWith(tag + QLatin1Char(' ')))
            continue;
        Figures f;
        static const QRegularExpression pair(QStringLiteral("([a-z-]+)=([0-9.]+)"));
        for (auto it = pair.globalMatch(line); it.hasNext();) {
            const auto m = it.next();
            f.values.insert(m.captured(1), m.captured(2).toDouble());
        }
        return f;
    }
    die(QStringLiteral("%1 printed no \"%2\" line:\n%3").arg(program, tag, out));
}

double median(QList<double> v)
{
    std::sort(v.begin(), v.end());
    return v.isEmpty() ? 0 : v.size() % 2 ? v[v.size() / 2] : (v[v.size() / 2 - 1] + v[v.size() / 2]) / 2;
}

QList<double> column(const QList<Figures>& runs, const char* key)
{
    QList<double> v;
    for (const Figures& f : runs)
        v << f.values.value(QString::fromLatin1(key));
    return v;
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("Start-up, memory and idle cost of the recharge screen."));
    cli.addHelpOption();
    cli.addOption({QStringLiteral("runs"), QStringLiteral("Start-ups of each program (default 10)."),
                   QStringLiteral("n"), QStringLiteral("10")});
    cli.addOption({QStringLiteral("idle-seconds"), QStringLiteral("Idle stretch measured (default 10)."),
                   QStringLiteral("s"), QStringLiteral("10")});
    cli.addOption({QStringLiteral("wait-script"),
                   QStringLiteral("Script that brings the screen into a wait (the card type choice) before a "
                                  "second idle measurement."),
                   QStringLiteral("file")});
    cli.process(app);
    const int runs = std::max(1, cli.value(QStringLiteral("runs")).toInt());
    const QString idle = cli.value(QStringLiteral("idle-seconds"));
    const QString bin = QCoreApplication::applicationDirPath();
    const QString kiosk = bin + QStringLiteral("/kiosk"), bare = bin + QStringLiteral("/kiosk-bare-window");
    const QStringList kioskArgs{QStringLiteral("--demo"), QStringLiteral("--measure-first-paint")};

    // One untimed start of each fills the file cache; then they take turns.
    run(bare, {}, QStringLiteral("first-paint"));
    run(kiosk, kioskArgs, QStringLiteral("first-paint"));
    QList<Figures> bareRuns, kioskRuns;
    for (int i = 0; i < runs; ++i) {
        bareRuns << run(bare, {}, QStringLiteral("first-paint"));
        kioskRuns << run(kiosk, kioskArgs, QStringLiteral("first-paint"));
    }
    const Figures open = run(kiosk, {QStringLiteral("--demo"), QStringLiteral("--measure-idle"), idle},
                             QStringLiteral("idle"));

    const double bareMs = median(column(bareRuns, "ms")), kioskMs = median(column(kioskRuns, "ms"));
    const double bareKb = median(column(bareRuns, "rss-kb")), kioskKb = median(column(kioskRuns, "rss-kb"));
    const double bareHwm = median(column(bareRuns, "hwm-kb")), kioskHwm = median(column(kioskRuns, "hwm-kb"));
    const QString platform = qEnvironmentVariable("QT_QPA_PLATFORM", QStringLiteral("default"));
    std::printf("platform %s, %d start-ups each (medians)\n\n", qPrintable(platform), runs);
    std::printf("| measurement | bare window | kiosk | kiosk / bare | target |\n|---|---|---|---|---|\n");
    std::printf("| launch to first paint (ms) | %.1f | %.1f | %.2fx | at most 3x |\n", bareMs, kioskMs,
                kioskMs / bareMs);
    std::printf("| resident memory, VmRSS (MiB) | %.1f | %.1f | %.2fx | at most 2x |\n", bareKb / 1024,
                kioskKb / 1024, kioskKb / bareKb);
    std::printf("| peak resident memory, VmHWM (MiB) | %.1f | %.1f | %.2fx | |\n", bareHwm / 1024, kioskHwm / 1024,
                kioskHwm / bareHwm);
    std::printf("| CPU with the screen open, %s s untouched | | %.1f ms, %.3f%% of a core | | under 1%% |\n",
                qPrintable(idle), open.values.value(QStringLiteral("cpu-ms")),
                open.values.value(QStringLiteral("share")));
    if (cli.isSet(QStringLiteral("wait-script"))) {
        const Figures waiting = run(kiosk,
                                    {QStringLiteral("--demo"), QStringLiteral("--script"),
                                     cli.value(QStringLiteral("wait-script")), QStringLiteral("--measure-idle"), idle},
                                    QStringLiteral("idle"), true);
        std::printf("| CPU in the scripted wait, %s s | | %.1f ms, %.3f%% of a core | | under 1%% |\n",
                    qPrintable(idle), waiting.values.value(QStringLiteral("cpu-ms")),
                    waiting.values.value(QStringLiteral("share")));
    }
    return 0;
}
