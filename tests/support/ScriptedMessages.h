#pragma once

#include "MessagePresenter.h"

#include <QStringList>

#include <functional>

// Answers the kiosk's message boxes on cue and records what they showed;
// installed for its lifetime.
class ScriptedMessages : public MessagePresenter
{
public:
    ScriptedMessages() { MessagePresenter::setInstance(this); }
    ~ScriptedMessages() override { MessagePresenter::setInstance(nullptr); }

    bool ask(const QString& text) override
    {
        questions << text;
        if (whileAsking)
            whileAsking(); // what happens while the question is open
        return nextAnswer;
    }
    void notify(const QString& text) override { notices << text; }

    bool nextAnswer = true;
    std::function<void()> whileAsking;
    QStringList questions;
    QStringList notices;
};
