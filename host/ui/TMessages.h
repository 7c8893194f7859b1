#pragma once

#include "HostExport.h"

#include <QObject>
#include <QStringList>

// A message table: lines "KEY|text", looked up by exact key.
class HOST_EXPORT TMessages : public QObject
{
    Q_OBJECT
public:
    explicit TMessages(const QString& name, QObject* parent = nullptr);

    QStringList Messages;
    // Reads the lines from a UTF-8 resource or file, one per line, kept byte for byte.
    void loadLines(const QString& path);
    // The text after the bar of the line whose key equals `key`, in the language the
    // kiosk speaks now (context "msgPadrao" of the translations); empty (and a log
    // line) when absent.
    QString Msg(const QString& key) const;
};
