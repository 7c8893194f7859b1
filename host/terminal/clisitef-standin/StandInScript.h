#pragma once

#include <QList>
#include <QString>

// One step of the stand-in library's dialogue: a command of the continue loop with its
// field type, sizes and text, or an instruction of the stand-in itself.
struct StandInStep {
    enum class Kind { Command, Wait, Authorise };
    Kind kind = Kind::Command;
    int command = 0;
    long type = -1;
    int min = 0;
    int max = 0;
    QString text;
    int waitMs = 0; // Wait: time spent before the abort check that follows
};

// The prompts the stand-in asks before a sale, from its configured script: steps
// separated by '|', each "kind:text":
//   message:TEXT    both displays, then cleared      operator:TEXT / customer:TEXT  one display
//   header:TEXT     a header, then removed            key:TEXT   "press a key"
//   question:TEXT   yes/no (no cancels the sale)       menu:TITLE=A,B,C   a titled menu
//   field:TEXT=MIN-MAX   a field to type (secret:, amount:, barcode: the same for 33, 34, 35)
//   silent:TEXT     a value the application supplies itself
//   qrcode:TEXT     a QR code with a footer, then removed
//   command:N:TEXT  any command N          value:TYPE:TEXT  a value of field type TYPE
namespace StandInScript
{
// Throws std::invalid_argument naming the step it cannot read.
QList<StandInStep> parse(const QString& script);
} // namespace StandInScript
