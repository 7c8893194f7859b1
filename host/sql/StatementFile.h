#pragma once

#include "HostExport.h"
#include "SqlParameters.h"

#include <QString>
#include <QStringList>

// One statement as the module keeps it: the parameter declarations at the top of
// its file, one per line ("--: NAME type [size] [nullable] [signed] [precision P[,S]]",
// type one of text, float, datetime, integer), then the statement text exactly as
// it is sent to the database.
struct HOST_EXPORT StatementFile
{
    QString name;
    QString text;
    SqlParameters parameters;

    // Throws KioskError naming the file and line when a declaration cannot be read.
    static StatementFile parse(const QString& name, const QString& content);
    static StatementFile load(const QString& path); // a file or a ":/resource"

    // What keeps `text` and `declared` from agreeing: placeholders without a
    // declaration and declared input parameters the text never names. Empty when they agree.
    static QStringList disagreements(const QString& text, const SqlParameters& declared);
};
