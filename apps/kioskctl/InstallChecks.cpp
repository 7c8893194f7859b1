#include "InstallChecks.h"

#include "ClientDataSet.h"
#include "CouponCounters.h"
#include "HostConfig.h"
#include "ParametrosZel.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QStringList>

namespace
{
const QString unitFile = QStringLiteral("/lib/systemd/system/kiosk.service");
const QString installedConfig = QStringLiteral("/etc/kiosk/kiosk.conf");

QString systemctl(const QStringList& args)
{
    QProcess p;
    p.start(QStringLiteral("systemctl"), args);
    if (!p.waitForFinished(5000))
        return QString();
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}
} // namespace

namespace InstallChecks
{
KioskStatus::Check localFiles(const QString& dataFolder)
{
    const QString folder = QDir::cleanPath(dataFolder);
    const QString parameters = folder + QStringLiteral("/PARAMETROSZEL.CDS");
    const QString copyHint = QStringLiteral(
        "copy the branch's PARAMETROSZEL.CDS and Dados/Cadastros/ConfTipoRece.cds into %1 (owned by the kiosk's "
        "user), or for the demo branch: kioskctl demo-files %1")
                                 .arg(folder);
    if (!QFileInfo(parameters).isReadable())
        return {false, QStringLiteral("%1 is missing or unreadable: %2").arg(parameters, copyHint)};
    ClientDataSet cds(QStringLiteral("cdsParametrosZel"));
    cds.loadFromFile(parameters);
    cds.open();
    ParametrosZel parametros;
    parametros.readFrom(cds);
    // DSDIRCAD runs straight into the relative path, as the screen builds it.
    const QString receiptTypes = parametros.DSDIRCAD + QStringLiteral("Dados/Cadastros/ConfTipoRece.cds");
    if (!QFileInfo(receiptTypes).isReadable())
        return {false, QStringLiteral("%1 (the receipt types, under DSDIRCAD \"%2\" of PARAMETROSZEL.CDS) is missing "
                                      "or unreadable: every purchase would fail; %3")
                           .arg(receiptTypes, parametros.DSDIRCAD, copyHint)};
    const QFileInfo counters(QFileInfo(CouponCounters::defaultFile()).absolutePath());
    if (!counters.isDir() || !counters.isWritable())
        return {false, QStringLiteral("%1 (the printer counters' folder) cannot be written: chown kiosk:kiosk %1")
                           .arg(counters.filePath())};
    return {true, QStringLiteral("%1, %2").arg(parameters, receiptTypes)};
}

std::optional<KioskStatus::Check> service()
{
    // Only about the installed kiosk: a kioskctl reading another configuration (a test,
    // a second store) says nothing of the service.
    if (QFileInfo(HostConfig::instance().file()).absoluteFilePath() != installedConfig ||
        !QFileInfo::exists(unitFile) || !QFileInfo::exists(QStringLiteral("/run/systemd/system")))
        return std::nullopt;
    if (!QFileInfo(installedConfig).isReadable())
        return KioskStatus::Check{false, QStringLiteral("kiosk.service cannot start: %1 is missing (apt install "
                                                        "--reinstall -o Dpkg::Options::=--force-confmiss "
                                                        "kiosk-recharge)")
                                             .arg(installedConfig)};
    const QString state = systemctl({QStringLiteral("is-active"), QStringLiteral("kiosk.service")});
    const QString enabled = systemctl({QStringLiteral("is-enabled"), QStringLiteral("kiosk.service")});
    if (state == QLatin1String("active"))
        return KioskStatus::Check{true, QStringLiteral("kiosk.service active, %1").arg(enabled)};
    if (state == QLatin1String("failed") || state == QLatin1String("activating"))
        return KioskStatus::Check{false, QStringLiteral("kiosk.service %1: journalctl -u kiosk tells why").arg(state)};
    return KioskStatus::Check{false, QStringLiteral("kiosk.service %1 (%2): systemctl enable --now kiosk")
                                         .arg(state.isEmpty() ? QStringLiteral("unknown") : state,
                                              enabled.isEmpty() ? QStringLiteral("unknown") : enabled)};
}
} // namespace InstallChecks
