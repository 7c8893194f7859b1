#pragma once

#include "CliSiTefTerminal.h"
#include "HostConfig.h"
#include "TerminalPrompter.h"
#include "TerminalTransactionsFile.h"

#include <QDir>
#include <functional>
#include <memory>

// The kiosk's card terminal as every purchase test uses it: CliSiTefTerminal over our
// stand-in library, loaded through dlopen, on files of the test's folder. The stand-in
// reads the kiosk configuration's [terminal] settings at each call: the constructor
// puts `settings` there (library, ids and transactions file filled in), and a test
// changes HostConfig::instance().terminal() to change how the stand-in answers.
class StandInTerminal : public CliSiTefTerminal
{
public:
    explicit StandInTerminal(const QDir& folder, TerminalSettings settings = {})
        : CliSiTefTerminal(configure(folder, std::move(settings)), folder.filePath(QStringLiteral("terminal-documents.db")),
                           folder.filePath(QStringLiteral("tef-store-receipts.txt"))),
          m_file(HostConfig::instance().terminal().transactionsFile)
    {
    }

    // `hook` runs at each of the stand-in's waits for the card holder (its abort checks).
    void atEachWait(std::function<void()> hook) { setPrompter(std::make_shared<WaitHook>(std::move(hook))); }
    // The stand-in's transactions, in the order first seen.
    QList<TerminalTransactionsFile::Transaction> transactions() const
    {
        return TerminalTransactionsFile(m_file).transactions();
    }
    const QString& transactionsFile() const { return m_file; }

    static TerminalSettings configure(const QDir& folder, TerminalSettings settings)
    {
        settings.library = QStringLiteral(STANDIN_LIBRARY);
        if (settings.terminalId.isEmpty())
            settings.terminalId = QStringLiteral("KS000001");
        if (settings.transactionsFile.isEmpty())
            settings.transactionsFile = folder.filePath(QStringLiteral("terminal-transactions.db"));
        HostConfig::instance().terminal() = settings;
        return settings;
    }

private:
    // Answers nothing (a prompt interrupts the sale, as with no prompter); runs the hook
    // at each abort check.
    struct WaitHook : TerminalPrompter {
        explicit WaitHook(std::function<void()> h) : hook(std::move(h)) {}
        std::function<void()> hook;
        std::optional<int> menu(const QString&, const QStringList&) override { return std::nullopt; }
        std::optional<bool> question(const QString&) override { return std::nullopt; }
        std::optional<QString> field(const Field&) override { return std::nullopt; }
        bool pressKey(const QString&) override { return false; }
        bool abortRequested() override
        {
            if (hook)
                hook();
            return false;
        }
    };
    QString m_file;
};
