#include "PrinterPort.h"

#include "KioskError.h"
#include "TerminalLogging.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <functional>

#include <unistd.h>

namespace
{
const QLatin1String tcpScheme("tcp://");

// Waits in a local event loop until `done` holds, the socket fails or time runs out.
bool waitFor(QTcpSocket& socket, int timeoutMs, const std::function<bool()>& done)
{
    if (done())
        return true;
    QEventLoop loop;
    QTimer timer;
    timer.setSingleShot(true);
    QObject::connect(&timer, &QTimer::timeout, &loop, &QEventLoop::quit);
    const auto check = [&] {
        if (done() || socket.state() == QAbstractSocket::UnconnectedState)
            loop.quit();
    };
    QObject::connect(&socket, &QTcpSocket::connected, &loop, check);
    QObject::connect(&socket, &QTcpSocket::bytesWritten, &loop, check);
    QObject::connect(&socket, &QTcpSocket::disconnected, &loop, check);
    QObject::connect(&socket, &QTcpSocket::errorOccurred, &loop, &QEventLoop::quit);
    timer.start(timeoutMs);
    loop.exec();
    return done();
}

void sendTcp(const QString& target, const QByteArray& bytes, int timeoutMs)
{
    const QUrl url(target);
    if (url.host().isEmpty() || url.port() <= 0)
        throw KioskError(QStringLiteral("Impressora %1: endereço inválido (esperado tcp://HOST:PORTA)").arg(target));
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(url.port()));
    if (!waitFor(socket, timeoutMs, [&] { return socket.state() == QAbstractSocket::ConnectedState; }))
        throw KioskError(QStringLiteral("Impressora %1 não responde: %2").arg(target, socket.errorString()));
    socket.write(bytes);
    if (!waitFor(socket, timeoutMs, [&] { return socket.bytesToWrite() == 0; }))
        throw KioskError(QStringLiteral("Impressora %1: envio interrompido: %2").arg(target, socket.errorString()));
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        waitFor(socket, timeoutMs, [&] { return socket.state() == QAbstractSocket::UnconnectedState; });
}

void sendFile(const QString& target, const QByteArray& bytes)
{
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw KioskError(QStringLiteral("Impressora %1: não foi possível abrir (%2)").arg(target, file.errorString()));
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw KioskError(QStringLiteral("Impressora %1: falha na escrita (%2)").arg(target, file.errorString()));
    if (QFileInfo(target).isFile())
        ::fsync(file.handle());
}
} // namespace

QString PrinterPort::resolve(const QString& portName, const PrinterSettings& settings, const QString& dataFolder)
{
    const QString name = portName.trimmed();
    if (!settings.allPorts.isEmpty())
        return settings.allPorts;
    if (name.isEmpty())
        throw KioskError(QStringLiteral("Porta da impressora de comprovantes não configurada"));
    const auto mapped = settings.ports.constFind(name.toUpper());
    if (mapped != settings.ports.constEnd())
        return *mapped;
    if (name.startsWith(tcpScheme) || name.contains(QLatin1Char('/')))
        return name;
    QString safe = name;
    for (QChar& c : safe) {
        if (!c.isLetterOrNumber())
            c = QLatin1Char('_');
    }
    return dataFolder + QStringLiteral("/receipts-") + safe + QStringLiteral(".txt");
}

void PrinterPort::send(const QString& target, const QString& text, int timeoutMs)
{
    if (target.startsWith(tcpScheme)) {
        sendTcp(target, escPos(text), timeoutMs);
    } else if (target.startsWith(QLatin1String("/dev/"))) {
        sendFile(target, escPos(text));
    } else {
        sendFile(target, text.toUtf8() + "\n");
    }
    qCInfo(lcPrinter) << "receipt sent to" << target;
}

QByteArray PrinterPort::escPos(const QString& text)
{
    QByteArray out("\x1b\x40\x1b\x74\x02", 5);
    out += toCp850(text);
    out += QByteArray("\n\n\n\x1d\x56\x42\x00", 7);
    return out;
}

QByteArray PrinterPort::toCp850(const QString& text)
{
    static const QHash<char16_t, char> accented = {
        {u'Ç', '\x80'}, {u'ü', '\x81'}, {u'é', '\x82'}, {u'â', '\x83'}, {u'à', '\x85'}, {u'ç', '\x87'}, {u'ê', '\x88'},
        {u'É', '\x90'}, {u'ô', '\x93'}, {u'á', '\xa0'}, {u'í', '\xa1'}, {u'ó', '\xa2'}, {u'ú', '\xa3'}, {u'ª', '\xa6'},
        {u'º', '\xa7'}, {u'Á', '\xb5'}, {u'Â', '\xb6'}, {u'À', '\xb7'}, {u'ã', '\xc6'}, {u'Ã', '\xc7'}, {u'Ê', '\xd2'},
        {u'Í', '\xd6'}, {u'Ó', '\xe0'}, {u'Ô', '\xe2'}, {u'õ', '\xe4'}, {u'Õ', '\xe5'}, {u'Ú', '\xe9'}};
    QByteArray out;
    out.reserve(text.size());
    for (const QChar c : text) {
        if (c.unicode() < 0x80)
            out.append(char(c.unicode()));
        else
            out.append(accented.value(c.unicode(), '?'));
    }
    return out;
}
