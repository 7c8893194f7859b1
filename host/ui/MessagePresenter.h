#pragma once

#include "HostExport.h"

#include <QString>

// Shows the kiosk's modal messages. The default presenter opens a kiosk message
// box; tests install one that answers on cue and records what was shown.
class HOST_EXPORT MessagePresenter
{
public:
    virtual ~MessagePresenter();
    virtual bool ask(const QString& text) = 0;    // yes / no question; true for yes
    virtual void notify(const QString& text) = 0; // notice with one button
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
