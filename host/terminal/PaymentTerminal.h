#pragma once

#include "HostExport.h"
#include "KioskError.h"
#include "Money.h"

#include <QDateTime>
#include <QList>
#include <QString>
#include <functional>
#include <memory>
#include <optional>

class TerminalPrompter;

// The fiscal document a card payment belongs to: the card-payment server settles
// (confirms or undoes) payments by this key, so each purchase has one of its own.
struct HOST_EXPORT FiscalDocument {
    QString coupon; // at most 20 characters
    QString date;   // yyyyMMdd
    QString time;   // HHmmss
    bool isEmpty() const { return coupon.isEmpty(); }
};

// What the kiosk asks of a card-payment server. An approved transaction stays
// pending until the kiosk confirms it (the purchase is recorded) or undoes it
// (the purchase could not be recorded); only a confirmed one is settled with the bank.
struct HOST_EXPORT TerminalRequest {
    QString serverAddress;
    Money amount;
    QString date; // yyyyMMdd
    QString time; // HHmmss
    QString operatorId;
    QString functionCodes;
    QString description;
    QString schema;
    // The purchase's fiscal document; empty: the terminal gives the purchase one of its own.
    FiscalDocument document;
    // The server's function for the card type: 2 debit, 3 credit; 0: the server asks.
    int function = 0;
};

struct HOST_EXPORT TerminalAnswer {
    bool approved = false;
    QString nsu;           // the host's transaction number, set when approved
    QString cardNumber;    // as the server gives it; callers mask it before keeping it
    QString bankCode;      // empty when the server names no bank
    QString authorisation; // authorisation code
    QString network;       // card network / acquirer
    int resultCode = 0;    // 0 approved, otherwise the server's refusal or failure code
    QString text;          // the server's words on a refusal or a failure
    QString nsuSiTef;        // the payment server's own number, when it gives one
    QString customerReceipt; // the card payment's receipt for the customer, lines ended by '\n'
    QString storeReceipt;    // the store's copy
    FiscalDocument document; // the fiscal document the payment was made in
};

enum class TerminalState { Pending, Confirmed, Undone, Declined };

// An approved transaction the terminal still holds pending (neither confirmed nor undone).
struct HOST_EXPORT PendingTransaction {
    QString nsu;
    Money amount;
    QDateTime approvedAt;
};
HOST_EXPORT QString terminalStateName(TerminalState state);
HOST_EXPORT std::optional<TerminalState> terminalStateFromName(const QString& name);

// A confirm or undo the terminal refused, or a terminal that cannot be reached.
class HOST_EXPORT TerminalError : public KioskError
{
public:
    using KioskError::KioskError;
};

class HOST_EXPORT PaymentTerminal
{
public:
    virtual ~PaymentTerminal();
    // Runs the card transaction; an approval leaves it pending. A terminal that cannot be
    // reached answers "not approved" with its reason in `text`; it does not throw.
    virtual TerminalAnswer authorise(const TerminalRequest& request) = 0;
    // Settles a pending transaction; confirming a confirmed one again is harmless. Throws TerminalError.
    virtual void confirm(const QString& nsu) = 0;
    // Cancels a pending transaction; undoing an undone one again is harmless. Throws TerminalError.
    virtual void undo(const QString& nsu) = 0;
    // The transaction's state as the server knows it; nothing when unknown or unreachable.
    virtual std::optional<TerminalState> status(const QString& nsu) = 0;
    // Every transaction still pending: what a settlement must bring to an end even when
    // the kiosk's journal lost it. Throws TerminalError when the terminal cannot say.
    virtual QList<PendingTransaction> pending() = 0;

    // Where the terminal's own prompts go while a transaction runs ("Insira ou aproxime
    // o cartão", "Digite a senha", the approval or the refusal's reason), so the kiosk
    // can show what the terminal's display says; an empty prompt clears it. Called on the
    // thread that runs the transaction. Empty: nowhere.
    using Display = std::function<void(const QString& prompt)>;
    void setDisplay(Display display) { m_display = std::move(display); }
    // Who answers the terminal's questions (menus, yes/no, fields to type, "press a key")
    // while a transaction runs; called on the thread that runs the transaction. Without
    // one, a transaction that needs an answer is interrupted.
    void setPrompter(std::shared_ptr<TerminalPrompter> prompter) { m_prompter = std::move(prompter); }

protected:
    void display(const QString& prompt) const
    {
        if (m_display)
            m_display(prompt);
    }

    TerminalPrompter* prompter() const { return m_prompter.get(); }
    const std::shared_ptr<TerminalPrompter>& sharedPrompter() const { return m_prompter; }

private:
    Display m_display;
    std::shared_ptr<TerminalPrompter> m_prompter;
};
