#pragma once

#include <QElapsedTimer>
#include <QList>
#include <algorithm>
#include <functional>

// Latency samples in milliseconds and their summary.
struct Summary
{
    int count = 0;
    double median = 0;
    double p99 = 0;
};

inline Summary summarise(QList<double> ms)
{
    Summary s;
    s.count = int(ms.size());
    if (ms.isEmpty())
        return s;
    std::sort(ms.begin(), ms.end());
    s.median = ms[ms.size() / 2];
    s.p99 = ms[std::min<qsizetype>(ms.size() - 1, qsizetype(ms.size() * 0.99))];
    return s;
}

// Runs `call` n times (after a short warm-up) and returns each call's duration.
inline QList<double> timeCalls(int n, const std::function<void(int)>& call)
{
    for (int i = 0; i < std::min(n / 10 + 1, 20); ++i)
        call(-1 - i);
    QList<double> ms;
    ms.reserve(n);
    QElapsedTimer t;
    for (int i = 0; i < n; ++i) {
        t.start();
        call(i);
        ms << t.nsecsElapsed() / 1e6;
    }
    return ms;
}
