#pragma once

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

#include <functional>

class QTimer;

// Tells a person's keys from a badge or barcode reader's. A reader types a whole
// code at a machine's pace (here: 8 or more characters within 300 ms, usually
// ending in Enter); on the recharge screen such a burst must not reach the amount
// nor press OK. Keys are held in a run while they follow each other within
// holdMs; the run ends after that pause, or at once with an Enter. A run that
// holds a reader's pace anywhere in it is dropped whole; any other run is handed
// on, in order, as typed. A person's key thus shows holdMs after it was typed;
// an Enter of a person's acts at once. Times come from Clock.
class ReaderBurstFilter : public QObject
{
    Q_OBJECT
public:
    static constexpr int holdMs = 80;
    static constexpr int burstCharacters = 8;
    static constexpr int burstWindowMs = 300;

    struct Key {
        int code = 0; // Qt::Key
        QString text; // what it types; empty for keys that type nothing (Shift...)
    };
    using Release = std::function<void(const Key&)>;

    explicit ReaderBurstFilter(Release release, QObject* parent = nullptr);

    // A key pressed now.
    void take(int code, const QString& text);
    // The hold timer's tick: ends the run when the pause after its last key has lasted holdMs.
    void holdTick();
    // Ends the run now, as a pause would: a person's keys go on, a burst is dropped.
    void endRun();

private:
    struct Held {
        Key key;
        QDateTime at;
    };
    static bool isBurst(const QList<Held>& run);

    Release m_release;
    QList<Held> m_run;
    QTimer* m_timer;
};
