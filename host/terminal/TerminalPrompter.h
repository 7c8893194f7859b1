#pragma once

#include "HostExport.h"

#include <QString>
#include <QStringList>
#include <optional>

// What a card terminal asks of the consumer while a transaction runs: pick from a
// menu, answer yes or no, type a field, acknowledge a notice. Called on the thread
// that runs the transaction, each call blocks until answered; an empty answer (or
// false) means the consumer gave up (the back button, the countdown), and the
// transaction is interrupted.
class HOST_EXPORT TerminalPrompter
{
public:
    enum class FieldKind { Text, Secret, Amount, Barcode };
    struct Field {
        QString prompt;
        int minLength = 0;
        int maxLength = 0;
        FieldKind kind = FieldKind::Text;
    };

    virtual ~TerminalPrompter();
    // The position (0-based) of the chosen option.
    virtual std::optional<int> menu(const QString& title, const QStringList& options) = 0;
    virtual std::optional<bool> question(const QString& text) = 0;
    virtual std::optional<QString> field(const Field& field) = 0;
    // Shows `text` until the consumer touches to go on; false when they gave up.
    virtual bool pressKey(const QString& text) = 0;
    // Polled while the terminal waits on the card or the PIN: true to interrupt.
    virtual bool abortRequested() = 0;
};
