#include "CliSiTefDialogue.h"

#include "CardNumberMask.h"
#include "CliSiTefLibrary.h"
#include "TerminalLogging.h"
#include "TerminalPrompter.h"

#include <QStringDecoder>
#include <vector>

namespace
{
using namespace CliSiTef;

// The documentation names no character set: UTF-8 when the bytes are valid UTF-8,
// else the 8-bit Latin text point-of-sale libraries commonly send.
QString decode(const char* bytes)
{
    const QByteArray raw(bytes);
    QStringDecoder utf8(QStringDecoder::Utf8);
    const QString text = utf8(raw);
    return utf8.hasError() ? QString::fromLatin1(raw) : text;
}

// Fields the kiosk keeps as they come (numbers and codes); every other text is masked.
bool isCode(long type)
{
    return type == Field::nsuHost || type == Field::nsuSiTef || type == Field::authorisation ||
           type == Field::institution || type == Field::cardBrand || type == Field::networkCode;
}

TerminalPrompter::FieldKind kindOf(int command)
{
    switch (command) {
    case Command::secretField:
    case Command::maskedField:
        return TerminalPrompter::FieldKind::Secret;
    case Command::amountField:
        return TerminalPrompter::FieldKind::Amount;
    case Command::barcodeField:
        return TerminalPrompter::FieldKind::Barcode;
    default:
        return TerminalPrompter::FieldKind::Text;
    }
}

// Commands that wait on an answer from the consumer.
bool asksTheConsumer(int command)
{
    return command == Command::yesNo || command == Command::menu || command == Command::identifiedMenu ||
           command == Command::pressKey || command == Command::abortCheck || command == Command::silentField ||
           (command >= Command::field && command <= Command::barcodeField) || command == Command::maskedField;
}

constexpr int fieldAttempts = 3;
} // namespace

int CliSiTefDialogue::run(int started)
{
    std::vector<char> buffer(bufferSize, '\0');
    int result = started;
    int continua = Answer::goOn;
    while (result == Result::callAgain) {
        int command = 0;
        long type = Field::none;
        short min = 0;
        short max = 0;
        result = m_library.continua(&command, &type, &min, &max, buffer.data(), int(buffer.size()), continua);
        if (result != Result::callAgain)
            break;
        buffer.back() = '\0'; // a library that filled the whole buffer still ends it here
        const QString text = decode(buffer.data());
        QByteArray reply;
        continua = answer(command, type, min, max, text, reply);
        // The buffer goes back empty unless it carries an answer.
        std::fill(buffer.begin(), buffer.end(), '\0');
        std::copy_n(reply.constData(), std::min<qsizetype>(reply.size(), qsizetype(buffer.size()) - 1),
                    buffer.begin());
    }
    return result;
}

int CliSiTefDialogue::answer(int command, long type, int min, int max, const QString& text, QByteArray& reply)
{
    // Once interrupted, nothing more is asked of the consumer.
    if (m_interrupted && asksTheConsumer(command))
        return Answer::interrupt;
    switch (command) {
    case Command::value:
        if (type != Field::none && type != Field::authorising)
            m_values.insert(type, isCode(type) ? text.trimmed() : CardNumberMask::maskWithin(text));
        return Answer::goOn;
    case Command::operatorMessage:
        // No operator stands at a kiosk: the log keeps what the library tells one.
        qCInfo(lcTerminal).noquote() << "terminal, operator's display:" << CardNumberMask::maskWithin(text);
        return Answer::goOn;
    case Command::customerMessage:
    case Command::bothMessage:
    case Command::header:
    case Command::qrCodeFooter:
        show(CardNumberMask::maskWithin(text));
        return Answer::goOn;
    case Command::menuTitle:
        m_title = CardNumberMask::maskWithin(text);
        return Answer::goOn;
    case Command::clearMenuTitle:
        m_title.clear();
        return Answer::goOn;
    case Command::clearCustomer:
    case Command::clearBoth:
    case Command::clearHeader:
        if (m_display)
            m_display(QString());
        return Answer::goOn;
    case Command::clearOperator:
    case Command::clearQrCode:
        return Answer::goOn;
    case Command::showQrCode:
        // The wait window cannot draw a QR code; the consumer pays by card instead, and the
        // abort checks let the countdown end a sale that waits for one.
        qCInfo(lcTerminal) << "terminal asked to show a QR code; not shown";
        return Answer::goOn;
    case Command::yesNo: {
        if (!m_prompter)
            return interrupt("a yes/no question", command);
        const std::optional<bool> yes = m_prompter->question(CardNumberMask::maskWithin(text));
        if (!yes)
            return interrupt("the consumer gave up at a question", command);
        reply = *yes ? "0" : "1"; // the library's convention: 0 confirms, 1 cancels
        return Answer::goOn;
    }
    case Command::menu:
    case Command::identifiedMenu:
        return menu(text, reply);
    case Command::pressKey:
        if (!m_prompter)
            return interrupt("a \"press a key\" notice", command);
        if (!m_prompter->pressKey(CardNumberMask::maskWithin(text)))
            return interrupt("the consumer gave up at a notice", command);
        return Answer::goOn;
    case Command::abortCheck:
        if (m_prompter && m_prompter->abortRequested()) {
            m_interrupted = true;
            return Answer::interrupt;
        }
        return Answer::goOn;
    case Command::silentField:
        // A value the application would supply on its own: the kiosk has none to give.
        return interrupt("a value the kiosk does not hold", command);
    case Command::field:
    case Command::chequeField:
    case Command::chequeTyped:
    case Command::secretField:
    case Command::amountField:
    case Command::barcodeField:
    case Command::maskedField:
        return collect(command, min, max, text, reply);
    default:
        qCInfo(lcTerminal) << "terminal command" << command << "(field type" << type << ") ignored";
        return Answer::goOn;
    }
}

int CliSiTefDialogue::collect(int command, int min, int max, const QString& text, QByteArray& reply)
{
    if (!m_prompter)
        return interrupt("a field to type", command);
    TerminalPrompter::Field field{CardNumberMask::maskWithin(text), min, max, kindOf(command)};
    for (int attempt = 0; attempt < fieldAttempts; ++attempt) {
        const std::optional<QString> typed = m_prompter->field(field);
        if (!typed)
            return interrupt("the consumer gave up at a field", command);
        const qsizetype n = typed->size();
        if (n >= min && (max <= 0 || n <= max)) {
            reply = typed->toLatin1();
            return Answer::goOn;
        }
        qCInfo(lcTerminal) << "field of" << n << "character(s) refused; wanted" << min << "to" << max;
    }
    return interrupt("a field typed wrong three times", command);
}

int CliSiTefDialogue::menu(const QString& text, QByteArray& reply)
{
    if (!m_prompter)
        return interrupt("a menu", Command::menu);
    // "1:first;2:second;...": the answer is the index, not the label.
    QStringList keys;
    QStringList labels;
    for (const QString& item : text.split(QLatin1Char(';'), Qt::SkipEmptyParts)) {
        const qsizetype colon = item.indexOf(QLatin1Char(':'));
        if (colon <= 0)
            continue;
        keys.append(item.left(colon).trimmed());
        labels.append(CardNumberMask::maskWithin(item.mid(colon + 1)));
    }
    if (keys.isEmpty())
        return interrupt("a menu without options", Command::menu);
    const std::optional<int> chosen = m_prompter->menu(m_title, labels);
    if (!chosen || *chosen < 0 || *chosen >= keys.size())
        return interrupt("the consumer gave up at a menu", Command::menu);
    reply = keys.at(*chosen).toLatin1();
    return Answer::goOn;
}

void CliSiTefDialogue::show(const QString& text)
{
    m_lastMessage = text;
    if (m_display)
        m_display(text);
}

int CliSiTefDialogue::interrupt(const char* why, int command)
{
    if (!m_interrupted)
        qCInfo(lcTerminal) << "card transaction interrupted at command" << command << ":" << why;
    m_interrupted = true;
    return Answer::interrupt;
}
