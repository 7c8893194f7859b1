#pragma once

#include <QList>
#include <QString>

#include <functional>
#include <memory>

class Ledger;
class TerminalPrompter;

// What a paid purchase relies on to be recorded or undone, never lost: the purchase
// journal, the store as ledger and the waits before each further recording attempt.
// Empty members mean the kiosk's own (journal in the data folder, the store through
// the data module, a wait that keeps the screen alive), and no prompter: a sale whose
// terminal asks the consumer something is interrupted.
struct PurchaseSupport {
    QString journalFile;
    std::shared_ptr<Ledger> ledger;
    std::function<void(int ms)> sleeper;
    QList<int> retryDelaysMs{1000, 2000, 4000};
    // Who answers the card terminal's questions while this purchase's card is charged.
    std::shared_ptr<TerminalPrompter> prompter;
};
