#pragma once

#include "MessagePresenter.h"

#include <QCoreApplication>
#include <QList>
#include <QStringList>
#include <QThread>
#include <QTimer>

#include <functional>

// Answers the kiosk's message boxes on cue and records what they showed; installed for
// its lifetime. A question is answered a moment later, as a person would, unless
// `answerQuestions` is off: then it stays open until dismissed (as "no").
class ScriptedMessages : public MessagePresenter
{
public:
    ScriptedMessages() { MessagePresenter::setInstance(this); }
    ~ScriptedMessages() override { MessagePresenter::setInstance(nullptr); }

    void ask(const QString& text, Answer answered) override
    {
        questions << text;
        if (whileAsking)
            whileAsking(); // what happens while the question is open
        if (!answerQuestions) {
            open << answered;
            return;
        }
        const bool yes = nextAnswer;
        QTimer::singleShot(0, qApp, [answered, yes] {
            if (answered)
                answered(yes);
        });
    }
    void notify(const QString& text, Closed closed) override
    {
        notices << text;
        if (holdNotices && closed)
            open << [closed](bool) { closed(); };
        else if (closed)
            QTimer::singleShot(0, qApp, closed);
    }
    void dismissOpen() override
    {
        const QList<Answer> dismissed = open;
        open.clear();
        ++dismissals;
        for (const Answer& a : dismissed)
            if (a)
                a(false);
    }

    bool nextAnswer = true;
    bool answerQuestions = true;
    bool holdNotices = false; // notices stay open (in `open`) until answered or dismissed
    std::function<void()> whileAsking;
    QStringList questions;
    QStringList notices;
    QList<Answer> open;
    int dismissals = 0;
};

// Runs `f` on the screen's (the application's) thread: from a fake on the store worker's
// thread it waits there until the screen's thread has run it.
template <typename F> void onScreenThread(F f)
{
    if (QThread::currentThread() == qApp->thread())
        f();
    else
        QMetaObject::invokeMethod(qApp, f, Qt::BlockingQueuedConnection);
}
