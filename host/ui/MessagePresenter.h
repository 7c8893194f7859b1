#pragma once

#include "HostExport.h"

#include <QString>

#include <functional>

// Shows the kiosk's messages. Nothing waits for them: a question or notice is shown and
// the call returns; the answer comes later to the function given, once. The default
// presenter opens a kiosk message box over the screen; tests install one that answers
// on cue and records what was shown.
class HOST_EXPORT MessagePresenter
{
public:
    using Answer = std::function<void(bool yes)>;
    using Closed = std::function<void()>;

    virtual ~MessagePresenter();
    // Yes / no question: `answered` gets true for yes, false for no or a dismissal.
    virtual void ask(const QString& text, Answer answered) = 0;
    // Notice with one button: `closed` runs when it goes away, pressed or dismissed.
    virtual void notify(const QString& text, Closed closed = {}) = 0;
    // Closes the message open now, as if "no" (or its one button) was pressed: a screen
    // that times out does not leave a question up for the next person. Nothing when none is open.
    virtual void dismissOpen() {}

    static MessagePresenter& instance();
    static void setInstance(MessagePresenter* presenter); // not owned; nullptr restores the default

    // A message box closing hands the activation back to the screen under it. The
    // screen asks this on each activation: true when the window that lost the
    // activation last was a host message box (or a presenter noted a close since), so
    // that a box closing does not run the screen's activation work again.
    static bool takeReactivation();
    // For presenters that show their messages in windows of their own.
    static void noteClosed();
};
