#pragma once

#include "CliSiTefTerminal.h"
#include "HostConfig.h"
#include "TerminalPrompter.h"
#include "TerminalTransactionsFile.h"

#include <QDir>
#include <functional>

// The kiosk's card terminal as the purchase tests use it: CliSiTefTerminal over our stand-in
// library through dlopen, on files of the test's folder. The stand-in reads the kiosk
// configuration's [terminal] at each call: the constructor puts `settings` there (library, id
// and transactions file filled in); a test changes HostConfig::instance().terminal() to change
// how the stand-in answers.
class StandInTerminal : public CliSiTefTerminal
{
public:
    explicit StandInTerminal(const QDir& dir, TerminalSettings settings = {})
        : CliSiTefTerminal(configure(dir, std::move(settings)), dir.filePath(QStringLiteral("terminal-documents.db")),
                           dir.filePath(QStringLiteral("tef-store-receipts.txt")))
    {
    }
    // `hook` runs at each of the stand-in's waits for the card holder (its abort checks).
    void atEachWait(std::function<void()> hook) { setPrompter(std::make_shared<WaitHook>(std::move(hook))); }
    QList<TerminalTransactionsFile::Transaction> transactions() const
    {
        return TerminalTransactionsFile(TerminalTransactionsFile::defaultFile()).transactions();
    }

private:
    static TerminalSettings configure(const QDir& dir, TerminalSettings s)
    {
        s.library = QStringLiteral(STANDIN_LIBRARY);
        s.terminalId = s.terminalId.isEmpty() ? QStringLiteral("KS000001") : s.terminalId;
        if (s.transactionsFile.isEmpty())
            s.transactionsFile = dir.filePath(QStringLiteral("terminal-transactions.db"));
        return HostConfig::instance().terminal() = s;
    }
    // No answers (a prompt interrupts the sale, as without a prompter); the hook at each abort check.
    struct WaitHook : TerminalPrompter {
        explicit WaitHook(std::function<void()> h) : hook(std::move(h)) {}
        std::function<void()> hook;
        std::optional<int> menu(const QString&, const QStringList&) override { return std::nullopt; }
        std::optional<bool> question(const QString&) override { return std::nullopt; }
        std::optional<QString> field(const Field&) override { return std::nullopt; }
        bool pressKey(const QString&) override { return false; }
        bool abortRequested() override { if (hook) hook(); return false; }
    };
};
