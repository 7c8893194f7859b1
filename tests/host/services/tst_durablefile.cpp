// What must reach the disk fails its write when the system says it did not: a journal line
// whose file cannot be examined, a receipt whose file cannot be synced. The system calls are
// made to fail here by this executable's own definitions, which the libraries' calls reach first.
#include "DurableFile.h"
#include "KioskError.h"
#include "PrinterPort.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <dlfcn.h>
#include <sys/stat.h>
#include <unistd.h>

namespace
{
std::atomic<const char*> failing{nullptr}; // the name of the call that fails, once

bool failsNow(const char* call)
{
    const char* name = failing.load();
    if (!name || std::strcmp(name, call) != 0)
        return false;
    failing = nullptr;
    errno = EIO;
    return true;
}

template <class F> F real(const char* name)
{
    return reinterpret_cast<F>(::dlsym(RTLD_NEXT, name));
}
} // namespace

extern "C" __attribute__((visibility("default"))) int fstat(int fd, struct stat* st)
{
    static const auto call = real<int (*)(int, struct stat*)>("fstat");
    return failsNow("fstat") ? -1 : call(fd, st);
}

extern "C" __attribute__((visibility("default"))) ssize_t pread(int fd, void* buffer, size_t size, off_t offset)
{
    static const auto call = real<ssize_t (*)(int, void*, size_t, off_t)>("pread");
    return failsNow("pread") ? -1 : call(fd, buffer, size, offset);
}

extern "C" __attribute__((visibility("default"))) int fsync(int fd)
{
    static const auto call = real<int (*)(int)>("fsync");
    return failsNow("fsync") ? -1 : call(fd);
}

class TestDurableFile : public QObject
{
    Q_OBJECT
    QTemporaryDir m_dir;

private slots:
    void aWriteTheSystemDidNotKeepFails_data()
    {
        QTest::addColumn<QString>("write");
        QTest::addColumn<QByteArray>("failingCall");
        QTest::newRow("journal line, file not examined") << "journal" << QByteArray("fstat");
        QTest::newRow("journal line, its last line not read") << "journal" << QByteArray("pread");
        QTest::newRow("receipt file not synced") << "receipt" << QByteArray("fsync");
    }
    void aWriteTheSystemDidNotKeepFails()
    {
        QFETCH(QString, write);
        QFETCH(QByteArray, failingCall);
        const QString path = m_dir.filePath(write + QString::fromLatin1(failingCall));
        QString failure;
        if (write == QLatin1String("journal")) {
            LockedFile journal(path);
            journal.appendLine("{\"state\": \"intent\"}");
            failing = failingCall.constData();
            try {
                journal.appendLine("{\"state\": \"authorised\"}");
            } catch (const KioskError& e) {
                failure = e.message();
            }
            failing = nullptr;
            // The line that could not be placed safely was not written.
            QCOMPARE(journal.readAll(), QByteArray("{\"state\": \"intent\"}\n"));
        } else {
            failing = failingCall.constData();
            try {
                PrinterPort::send(path, QStringLiteral("RECIBO"), 1000);
            } catch (const KioskError& e) {
                failure = e.message();
            }
            failing = nullptr;
        }
        QVERIFY2(failure.contains(path), qPrintable(failure));
    }
};

QTEST_GUILESS_MAIN(TestDurableFile)
#include "tst_durablefile.moc"
