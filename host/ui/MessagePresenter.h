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

    static MessagePresenter& instance();
    static void setInstance(MessagePresenter* presenter); // not owned; nullptr restores the default

    // A message box closing hands the activation back to the screen under it. The
    // screen asks this on activation: true once after each message box closed, so
    // that re-activation does not run the screen's activation work again.
    static bool takeReactivation();
    static void noteClosed();
};
