#pragma once

#include "DeviceSettings.h"
#include "HostExport.h"

#include <QByteArray>
#include <QString>

// Where a receipt goes and how it gets there. A port is
//   tcp://HOST:PORT   a network printer's raw port: ESC/POS bytes
//   /dev/...          a printer device: ESC/POS bytes
//   any other path    a file: the receipt appended as UTF-8 text (a readable receipt log)
//   a bare name       ("COM1") looked up in the configuration's [printer] ports, else the file
//                     receipts-NAME.txt in the kiosk's data folder
class HOST_EXPORT PrinterPort
{
public:
    static QString resolve(const QString& portName, const PrinterSettings& settings, const QString& dataFolder);
    // Sends the receipt text; throws KioskError naming the port and the reason. When
    // given, `bytesSent` tells how many bytes went out to the printer, also when it throws
    // (0: the printer has nothing of it).
    static void send(const QString& target, const QString& text, int timeoutMs, qint64* bytesSent = nullptr);
    // ESC @ (reset), ESC t 2 (code page 850), the text in CP850, a feed and GS V (cut).
    static QByteArray escPos(const QString& text);
    static QByteArray toCp850(const QString& text);
};
