#include "TMessages.h"

#include "KioskError.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QFile>

TMessages::TMessages(const QString& name, QObject* parent) : QObject(parent)
{
    setObjectName(name);
}

void TMessages::loadLines(const QString& path)
{
    QFile f(path);
    if (!f.open(QIODevice::ReadOnly))
        throw KioskError(QStringLiteral("%1: message table cannot be read (%2)").arg(path, f.errorString()));
    Messages.clear();
    for (QByteArray line : f.readAll().split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (!line.isEmpty())
            Messages << QString::fromUtf8(line);
    }
}

QString TMessages::Msg(const QString& key) const
{
    for (const QString& line : Messages) {
        const int bar = line.indexOf(QLatin1Char('|'));
        if (bar >= 0 && QStringView(line).left(bar) == key)
            return QCoreApplication::translate("msgPadrao", line.mid(bar + 1).toUtf8().constData());
    }
    qCWarning(lcScreen) << objectName() << "has no message" << key;
    return QString();
}
