#pragma once

#include "ScreenPrompter.h"

#include <QList>
#include <QObject>
#include <QPointer>

#include <memory>

class QFrame;
class QLabel;
class TfrmRecSaldo;

// Shows the card terminal's questions on the recharge screen while the card is charged
// and hands the consumer's answers to the purchase's ScreenPrompter: a menu as a touch
// list (one large button per option, the title above), yes/no as a question box without
// a default button, a field typed on the screen's keypad (digits only, within the field's
// sizes, a secret one shown as bullets), "press a key" as a notice. The back button, the
// idle countdown and the screen closing give the purchase up. A question restarts the
// countdown as a touch does, and so does each key typed into a field; once answered, the
// charge goes on under the wait window with the countdown stopped, as before the question.
// Nothing typed is logged.
class TerminalPromptView : public QObject
{
    Q_OBJECT
public:
    // Lives no longer than `parent`, the purchase (itself the screen's).
    TerminalPromptView(TfrmRecSaldo& screen, std::shared_ptr<ScreenPrompter> prompter, QObject* parent);
    ~TerminalPromptView() override;

private:
    void show(const TerminalQuestion& question);
    void showMenu(const TerminalQuestion& question);
    void showField(const TerminalQuestion& question);
    void answer(const QVariant& value);
    // The box of a yes/no or a notice closed: an answer, unless the countdown closed it.
    void boxClosed(const QVariant& value);
    void givenUp();
    void closePanel();
    void keyTyped(QChar digit);
    void keyErased();
    void showTyped();
    void fieldEntered();
    QString fieldReply() const;
    bool fieldFits() const;

    TfrmRecSaldo& m_screen;
    std::shared_ptr<ScreenPrompter> m_prompter;
    TerminalQuestion m_open; // id 0: none open
    bool m_boxOpen = false;
    QString m_waitText; // what the wait window showed before the question
    QPointer<QFrame> m_panel;
    QPointer<QLabel> m_typedLabel;
    QString m_typed;
    QList<QMetaObject::Connection> m_keypad; // the screen's keys typing into the field open now
};
