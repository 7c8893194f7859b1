#include "PrinterPort.h"

#include "KioskError.h"
#include "TerminalLogging.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QStringDecoder>
#include <QStringEncoder>
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
    // One encoder per thread: an encoder keeps state between calls.
    thread_local QStringEncoder encoder("IBM850", QStringConverter::Flag::Stateless);
    thread_local QStringDecoder decoder("IBM850", QStringConverter::Flag::Stateless);
    if (!encoder.isValid() || !decoder.isValid())
        throw KioskError(QStringLiteral("Impressora: a página de código IBM850 não está disponível neste sistema"));
    // A letter the code page holds goes as it is; one it lacks becomes its closest: the letter
    // without its accent, or a few look-alikes by hand (the decoder tells which ones went through).
    const auto holds = [&](const QString& s, QByteArray& out) {
        const QByteArray bytes = encoder.encode(s);
        if (QString(decoder.decode(bytes)) != s)
            return false;
        out = bytes;
        return true;
    };
    static const QHash<char32_t, const char*> lookAlikes = {
        {U'Ł', "L"},   {U'ł', "l"},   {U'Đ', "D"},  {U'đ', "d"}, {U'Ħ', "H"},      {U'ħ', "h"},
        {U'ı', "i"},   {U'Œ', "OE"},  {U'œ', "oe"}, {U'‘', "'"}, {U'’', "'"},      {U'‚', ","},
        {U'“', "\""},  {U'”', "\""},  {U'„', "\""}, {U'–', "-"}, {U'—', "-"},      {U'−', "-"},
        {U'…', "..."}, {U'€', "EUR"}, {U'™', "TM"}, {U'•', "*"}, {U'\u00a0', " "}, {U'\u202f', " "}};
    const QString composed = text.normalized(QString::NormalizationForm_C);
    QByteArray out;
    out.reserve(composed.size());
    for (qsizetype i = 0; i < composed.size();) {
        const char32_t cp = composed.at(i).isHighSurrogate() && i + 1 < composed.size()
                                ? QChar::surrogateToUcs4(composed.at(i), composed.at(i + 1))
                                : char32_t(composed.at(i).unicode());
        const QString one = composed.mid(i, QChar::requiresSurrogates(cp) ? 2 : 1);
        i += one.size();
        if (cp < 0x80) {
            out.append(char(cp));
            continue;
        }
        QByteArray bytes;
        if (holds(one, bytes)) {
            out += bytes;
            continue;
        }
        if (const auto alike = lookAlikes.constFind(cp); alike != lookAlikes.constEnd()) {
            out += *alike;
            continue;
        }
        // The letter without its marks: "ő" -> "o", "ş" -> "s".
        QString base;
        for (const QChar c : one.normalized(QString::NormalizationForm_KD))
            if (!c.isMark())
                base.append(c);
        QByteArray baseBytes;
        if (!base.isEmpty() && base != one && holds(base, baseBytes))
            out += baseBytes;
        else
            out.append('?');
    }
    return out;
}
