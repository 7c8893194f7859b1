// kioskctl: the store technician's tool, running the recharge module's own code.
#include "DataPacket.h"
#include "DateTimeValue.h"
#include "DemoFiles.h"
#include "HostConfig.h"
#include "KioskError.h"
#include "ModuleInstances.h"
#include "SqlConnection.h"
#include "StoreSchema.h"
#include "Srv_kvb52814.h"
#include "TrdmRecSaldo.h"

#include <QCoreApplication>
#include <QFile>
#include <QLoggingCategory>
#include <QStringList>
#include <cstdio>
#include <memory>

namespace {
const char* const usage =
    "usage: kioskctl [--config FILE] COMMAND ...\n"
    "  init-db                                create the store tables (and procedure) in the configured database\n"
    "  demo-data                              load the demo branch 0001 (families, till, consumers, balances)\n"
    "  demo-files DIR                         write PARAMETROSZEL.CDS and Dados/Cadastros/ConfTipoRece.cds\n"
    "  balances BRANCH CLIENT CONSUMER        print the balance packets as JSON\n"
    "  evolve CLIENT CONSUMER BRANCH DATE     re-compute a consumer's balances from DATE on\n"
    "  record PACKET.json BRANCH TILL CLIENT CONSUMER FAMILY DEPOSIT COO GNF SERIAL TURN-DATE FISCAL-DATE\n"
    "                                         record a credit purchase; prints the failure text on failure\n"
    "Dates are ISO text (2026-12-08 or 2026-12-08T06:00:00). The database comes from KIOSK_DB or the\n"
    "configuration file (KIOSK_CONFIG, default ~/.config/kiosk/kiosk.conf).\n";

double isoDate(const QString& text)
{
    double days = 0;
    if (!DateTimeValue::parseIsoText(text, &days))
        throw KioskError(QStringLiteral("\"%1\" is not an ISO date").arg(text));
    return days;
}

void print(const QByteArray& text)
{
    std::fwrite(text.constData(), 1, size_t(text.size()), stdout);
}

// Opens the data module the way the screen does and frees it on return.
struct Module
{
    ModuleInstances::ServerSession session;
    SqlConnection& connection() { return *session.dataModule().adcRecSaldo; }
};

QByteArray packetOrFail(const QVariant& result, const char* what)
{
    if (!PacketVariant::isPacket(result))
        throw KioskError(QStringLiteral("%1: %2").arg(QString::fromLatin1(what), result.toString()));
    return PacketVariant::packet(result).toJson(true);
}

int run(QStringList args)
{
    if (args.size() >= 2 && args[0] == QLatin1String("--config")) {
        HostConfig::instance().load(args[1]);
        args = args.mid(2);
    } else {
        HostConfig::instance().load();
    }
    if (args.isEmpty() || args[0] == QLatin1String("--help") || args[0] == QLatin1String("-h")) {
        std::fputs(usage, args.isEmpty() ? stderr : stdout);
        return args.isEmpty() ? 2 : 0;
    }
    const QString command = args.takeFirst();
    const auto need = [&](int n) {
        if (args.size() != n)
            throw KioskError(QStringLiteral("%1 takes %2 arguments\n%3").arg(command).arg(n).arg(QString::fromLatin1(usage)));
    };
    if (command == QLatin1String("demo-files")) {
        need(1);
        DemoFiles::write(args[0]);
        return 0;
    }
    if (command == QLatin1String("init-db")) {
        need(0);
        Module m;
        StoreSchema::create(m.connection());
        return 0;
    }
    if (command == QLatin1String("demo-data")) {
        need(0);
        Module m;
        StoreSchema::loadDemoData(m.connection());
        return 0;
    }
    if (command == QLatin1String("balances")) {
        need(3);
        Module m;
        print("{\"getSaldoCons\": " + packetOrFail(Srv_kvb52814::getSaldoCons(args[0], args[1], args[2]), "getSaldoCons") +
              ",\n\"getTotSalCons\": " + packetOrFail(Srv_kvb52814::getTotSalCons(args[1], args[2]), "getTotSalCons") +
              "}\n");
        return 0;
    }
    if (command == QLatin1String("evolve")) {
        need(4);
        Module m;
        Srv_kvb52814::EvoluiSaldo(args[0], args[1], args[2], isoDate(args[3]));
        return 0;
    }
    if (command == QLatin1String("record")) {
        need(12);
        const DataPacket packet = DataPacket::loadFile(args[0]);
        Module m;
        const QVariant result = Srv_kvb52814::setGravaCompCred(PacketVariant::of(packet), args[1], args[2], args[3],
                                                               args[4], args[5], args[6], args[7], args[8], args[9],
                                                               isoDate(args[10]), isoDate(args[11]));
        if (result.isValid()) {
            std::fprintf(stdout, "%s\n", qPrintable(result.toString()));
            return 1;
        }
        return 0;
    }
    throw KioskError(QStringLiteral("unknown command \"%1\"\n%2").arg(command, QString::fromLatin1(usage)));
}
} // namespace

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    // Output is for scripts: only warnings go to stderr unless KIOSK_VERBOSE is set.
    if (!qEnvironmentVariableIsSet("KIOSK_VERBOSE"))
        QLoggingCategory::setFilterRules(QStringLiteral("kiosk.*.info=false"));
    try {
        return run(app.arguments().mid(1));
    } catch (const std::exception& e) {
        std::fprintf(stderr, "kioskctl: %s\n", e.what());
        return 1;
    }
}
