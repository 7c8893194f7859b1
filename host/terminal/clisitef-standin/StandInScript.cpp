#include "StandInScript.h"

#include "CliSiTefInterface.h"

#include <stdexcept>

namespace
{
using namespace CliSiTef;

StandInStep command(int code, const QString& text, long type = Field::none, int min = 0, int max = 0)
{
    StandInStep s;
    s.command = code;
    s.text = text;
    s.type = type;
    s.min = min;
    s.max = max;
    return s;
}

[[noreturn]] void bad(const QString& step)
{
    throw std::invalid_argument(QStringLiteral("stand-in script: cannot read \"%1\"").arg(step).toStdString());
}

// "TEXT=MIN-MAX"
StandInStep field(int code, const QString& rest, const QString& step)
{
    const qsizetype eq = rest.lastIndexOf(QLatin1Char('='));
    const QStringList sizes = rest.mid(eq + 1).split(QLatin1Char('-'));
    bool okMin = false, okMax = false;
    const int min = sizes.value(0).toInt(&okMin);
    const int max = sizes.value(1).toInt(&okMax);
    if (eq < 0 || sizes.size() != 2 || !okMin || !okMax || min < 0 || max < min)
        bad(step);
    return command(code, rest.left(eq), Field::none, min, max);
}
} // namespace

QList<StandInStep> StandInScript::parse(const QString& script)
{
    QList<StandInStep> steps;
    for (const QString& step : script.split(QLatin1Char('|'), Qt::SkipEmptyParts)) {
        const qsizetype colon = step.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            bad(step);
        const QString kind = step.left(colon).trimmed().toLower();
        const QString rest = step.mid(colon + 1);
        if (kind == QLatin1String("message")) {
            steps << command(Command::bothMessage, rest) << command(Command::clearBoth, QString());
        } else if (kind == QLatin1String("operator")) {
            steps << command(Command::operatorMessage, rest) << command(Command::clearOperator, QString());
        } else if (kind == QLatin1String("customer")) {
            steps << command(Command::customerMessage, rest) << command(Command::clearCustomer, QString());
        } else if (kind == QLatin1String("header")) {
            steps << command(Command::header, rest) << command(Command::clearHeader, QString());
        } else if (kind == QLatin1String("key")) {
            steps << command(Command::pressKey, rest);
        } else if (kind == QLatin1String("question")) {
            steps << command(Command::yesNo, rest);
        } else if (kind == QLatin1String("menu")) {
            const qsizetype eq = rest.indexOf(QLatin1Char('='));
            const QStringList options = rest.mid(eq + 1).split(QLatin1Char(','), Qt::SkipEmptyParts);
            if (eq < 0 || options.isEmpty())
                bad(step);
            QStringList items;
            for (qsizetype i = 0; i < options.size(); ++i)
                items << QStringLiteral("%1:%2").arg(i + 1).arg(options[i]);
            steps << command(Command::menuTitle, rest.left(eq)) << command(Command::menu, items.join(QLatin1Char(';')))
                  << command(Command::clearMenuTitle, QString());
        } else if (kind == QLatin1String("field")) {
            steps << field(Command::field, rest, step);
        } else if (kind == QLatin1String("secret")) {
            steps << field(Command::secretField, rest, step);
        } else if (kind == QLatin1String("amount")) {
            steps << field(Command::amountField, rest, step);
        } else if (kind == QLatin1String("barcode")) {
            steps << field(Command::barcodeField, rest, step);
        } else if (kind == QLatin1String("silent")) {
            steps << command(Command::silentField, rest);
        } else if (kind == QLatin1String("qrcode")) {
            steps << command(Command::showQrCode, rest, Field::qrCode) << command(Command::qrCodeFooter, rest)
                  << command(Command::clearQrCode, QString());
        } else if (kind == QLatin1String("command") || kind == QLatin1String("value")) {
            const qsizetype second = rest.indexOf(QLatin1Char(':'));
            bool ok = false;
            const long number = rest.left(second).toLong(&ok);
            if (second < 0 || !ok)
                bad(step);
            steps << (kind == QLatin1String("command") ? command(int(number), rest.mid(second + 1))
                                                         : command(Command::value, rest.mid(second + 1), number));
        } else {
            bad(step);
        }
    }
    return steps;
}
