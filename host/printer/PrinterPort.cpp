#include "PrinterPort.h"

#include "KioskError.h"
#include "PrinterLogging.h"
#include "ReceiptLayout.h"

#include <QDeadlineTimer>
#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QScopeGuard>
#include <QStringDecoder>
#include <QStringEncoder>
#include <QTcpSocket>
#include <QTimer>
#include <QUrl>
#include <functional>

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <poll.h>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
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

void sendTcp(const QString& target, const QByteArray& bytes, int timeoutMs, qint64& sent)
{
    const QUrl url(target);
    if (url.host().isEmpty() || url.port() <= 0)
        throw KioskError(QStringLiteral("Impressora %1: endereço inválido (esperado tcp://HOST:PORTA)").arg(target));
    QTcpSocket socket;
    socket.connectToHost(url.host(), quint16(url.port()));
    if (!waitFor(socket, timeoutMs, [&] { return socket.state() == QAbstractSocket::ConnectedState; }))
        throw KioskError(QStringLiteral("Impressora %1 não responde: %2").arg(target, socket.errorString()));
    QObject::connect(&socket, &QTcpSocket::bytesWritten, [&sent](qint64 n) { sent += n; });
    socket.write(bytes);
    if (!waitFor(socket, timeoutMs, [&] { return socket.bytesToWrite() == 0; }))
        throw KioskError(QStringLiteral("Impressora %1: envio interrompido: %2").arg(target, socket.errorString()));
    socket.disconnectFromHost();
    if (socket.state() != QAbstractSocket::UnconnectedState)
        waitFor(socket, timeoutMs, [&] { return socket.state() == QAbstractSocket::UnconnectedState; });
}

void sendFile(const QString& target, const QByteArray& bytes, qint64& sent)
{
    QFile file(target);
    if (!file.open(QIODevice::WriteOnly | QIODevice::Append))
        throw KioskError(QStringLiteral("Impressora %1: não foi possível abrir (%2)").arg(target, file.errorString()));
    const qint64 before = file.size();
    // What reached the file, whatever the write said.
    const auto measure = qScopeGuard([&] { sent = qMax<qint64>(0, QFileInfo(target).size() - before); });
    if (file.write(bytes) != bytes.size() || !file.flush())
        throw KioskError(QStringLiteral("Impressora %1: falha na escrita (%2)").arg(target, file.errorString()));
    if (::fsync(file.handle()) != 0)
        throw KioskError(QStringLiteral("Impressora %1: falha ao gravar no disco (%2)")
                             .arg(target, QString::fromLocal8Bit(strerror(errno))));
}

QString systemError(int error)
{
    return QString::fromLocal8Bit(strerror(error));
}

// A device (or a FIFO standing in for one) is opened and written without blocking: a printer
// that is off line, out of paper or has nobody reading must not hold the kiosk mid-purchase.
// It has `timeoutMs` to take the receipt, as a network printer has to connect and to take it.
void sendDevice(const QString& target, const QByteArray& bytes, int timeoutMs, qint64& sent)
{
    const QDeadlineTimer deadline(timeoutMs);
    const QByteArray path = QFile::encodeName(target);
    int fd = -1;
    struct stat st {
    };
    // A local socket (a print spooler's, a printer bridge's) is connected to, not opened.
    if (::stat(path.constData(), &st) == 0 && S_ISSOCK(st.st_mode)) {
        sockaddr_un address{};
        address.sun_family = AF_UNIX;
        if (size_t(path.size()) >= sizeof address.sun_path)
            throw KioskError(QStringLiteral("Impressora %1: caminho longo demais para um socket").arg(target));
        std::memcpy(address.sun_path, path.constData(), size_t(path.size()));
        fd = ::socket(AF_UNIX, SOCK_STREAM | SOCK_NONBLOCK | SOCK_CLOEXEC, 0);
        if (fd < 0 || ::connect(fd, reinterpret_cast<const sockaddr*>(&address), sizeof address) != 0) {
            const int error = errno;
            if (fd >= 0)
                ::close(fd);
            throw KioskError(
                QStringLiteral("Impressora %1: não foi possível conectar (%2)").arg(target, systemError(error)));
        }
    }
    while (fd < 0) {
        fd = ::open(path.constData(), O_WRONLY | O_APPEND | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
        if (fd >= 0)
            break;
        const int error = errno;
        if (error == EINTR)
            continue;
        // ENXIO: nobody at the other end yet (a FIFO without reader, a device not ready); EAGAIN/EBUSY: busy.
        if (error != ENXIO && error != EAGAIN && error != EBUSY)
            throw KioskError(
                QStringLiteral("Impressora %1: não foi possível abrir (%2)").arg(target, systemError(error)));
        if (deadline.hasExpired())
            throw KioskError(QStringLiteral("Impressora %1 não respondeu em %2 ms (%3)")
                                 .arg(target)
                                 .arg(timeoutMs)
                                 .arg(systemError(error)));
        ::poll(nullptr, 0, int(qMin<qint64>(20, deadline.remainingTime())));
    }
    const auto closeDevice = qScopeGuard([fd] { ::close(fd); });
    while (sent < bytes.size()) {
        const ssize_t n = ::write(fd, bytes.constData() + sent, size_t(bytes.size() - sent));
        if (n > 0) {
            sent += n;
            continue;
        }
        const int error = n < 0 ? errno : EAGAIN;
        if (error == EINTR)
            continue;
        if (error != EAGAIN && error != EWOULDBLOCK)
            throw KioskError(QStringLiteral("Impressora %1: falha na escrita (%2)").arg(target, systemError(error)));
        pollfd ready{fd, POLLOUT, 0};
        const qint64 left = deadline.remainingTime();
        const int polled = left > 0 ? ::poll(&ready, 1, int(left)) : 0;
        if (polled < 0 && errno == EINTR)
            continue;
        if (polled <= 0 || (ready.revents & (POLLERR | POLLHUP | POLLNVAL)))
            throw KioskError(
                QStringLiteral("Impressora %1 não recebeu o comprovante em %2 ms (%3 de %4 bytes enviados)")
                    .arg(target)
                    .arg(timeoutMs)
                    .arg(sent)
                    .arg(bytes.size()));
    }
}

// A path that is a device or a FIFO, not a regular file or a folder still to be made.
bool isDevice(const QString& target)
{
    if (target.startsWith(QLatin1String("/dev/")))
        return true;
    struct stat st {
    };
    return ::stat(QFile::encodeName(target).constData(), &st) == 0 && !S_ISREG(st.st_mode) && !S_ISDIR(st.st_mode);
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

void PrinterPort::send(const QString& target, const QString& slip, int timeoutMs, qint64* bytesSent)
{
    // The only printer commands that reach the port are the ones added here.
    const QString text = ReceiptLayout::withoutControls(slip);
    qint64 sent = 0;
    const auto report = qScopeGuard([&] {
        if (bytesSent)
            *bytesSent = sent;
    });
    if (target.startsWith(tcpScheme)) {
        sendTcp(target, escPos(text), timeoutMs, sent);
    } else if (target.startsWith(QLatin1String("/dev/"))) {
        sendDevice(target, escPos(text), timeoutMs, sent);
    } else if (isDevice(target)) {
        sendDevice(target, text.toUtf8() + "\n", timeoutMs, sent);
    } else {
        sendFile(target, text.toUtf8() + "\n", sent);
    }
    qCInfo(lcPrinting) << "receipt sent to" << target;
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
