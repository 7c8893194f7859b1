#include "NsuCounter.h"

#include "DurableFile.h"

#include <QFile>

qint64 NsuCounter::current() const
{
    QFile f(m_file);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    bool ok = false;
    const qint64 value = f.readAll().trimmed().toLongLong(&ok);
    return ok ? value : 0;
}

qint64 NsuCounter::next(qint64 highestSeen)
{
    const qint64 value = std::max(current(), highestSeen) + 1;
    DurableFile::replaceAtomically(m_file, QByteArray::number(value) + '\n');
    return value;
}

void NsuCounter::atLeast(qint64 value)
{
    if (current() < value)
        DurableFile::replaceAtomically(m_file, QByteArray::number(value) + '\n');
}
