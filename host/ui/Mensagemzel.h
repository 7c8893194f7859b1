#pragma once

#include "HostExport.h"

#include <QString>
#include <QVariant>

#include <functional>

class ClientDataSet;

enum TTipoMsg { tmPergunta = 1, tmAviso = 3 };

namespace Mensagemzel
{
// Passes a server function's result on to the screen. A packet (or nothing) comes
// back unchanged. A failure text is logged with the method, caller and arguments,
// shown once to the consumer as a notice, and replaced by an empty packet, so the
// caller's data set loads it without a second error.
HOST_EXPORT QVariant MensagemMetodo(const QVariant& result, bool flag, int number, const QString& method,
                                    const QString& caller, const QString& arguments, const QString& schema);

// A message over the screen; it returns at once. Kind 1 with answer "S": a yes/no question,
// whose answer (true for yes, false for no or a dismissal) goes to `answered`. Kind 3: a
// notice; `answered` gets false when it closes. Closing it does not re-run the screen's
// activation. A "%s" in the text is never shown as it stands: it names the subject set by
// the caller (MessageSubject), or is left out with the space before it.
HOST_EXPORT void Mensagem(const QString& text, const QString& title, const QString& flag, const QString& answer,
                          int kind, const QString& detail, const QString& schema, int number, ClientDataSet* dataSet,
                          std::function<void(bool)> answered = {});

// While it lives, the "%s" of a message names `subject` (what the question is about).
class HOST_EXPORT MessageSubject
{
public:
    explicit MessageSubject(const QString& subject);
    ~MessageSubject();
    MessageSubject(const MessageSubject&) = delete;
    MessageSubject& operator=(const MessageSubject&) = delete;

    // `text` with its placeholder filled as the message box shows it.
    static QString fill(const QString& text);

private:
    QString m_previous;
};
} // namespace Mensagemzel
