#pragma once

#include "HostExport.h"

#include <QString>

// Whether receipts sent to a printer target (PrinterPort::resolve's answer) can reach paper,
// judged without printing: a tcp:// address, a device, a FIFO, a socket, or a receipts file the
// kiosk can append to (or create) are usable; /dev/null takes receipts and throws them away; a
// folder, a /proc or /sys path, or anything the kiosk cannot write, can never print.
struct HOST_EXPORT PrinterTarget {
    enum class Verdict { Usable, Warning, Unusable };
    Verdict verdict = Verdict::Usable;
    QString detail; // what the target is, or why it cannot be used

    static PrinterTarget examine(const QString& target);
};
