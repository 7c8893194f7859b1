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
    // `hook` runs at each of the stand-in's waits for the card holder (its abort checks),
    // whatever prompter the purchase puts on the terminal for the sale.
    void atEachWait(std::function<void()> hook) { m_hook = std::move(hook); }
    TerminalAnswer authorise(const TerminalRequest& request) override
    {
        if (!m_hook)
            return CliSiTefTerminal::authorise(request);
        const std::shared_ptr<TerminalPrompter> inner = sharedPrompter();
        setPrompter(std::make_shared<WaitHook>(m_hook, inner));
        const TerminalAnswer answer = CliSiTefTerminal::authorise(request);
        setPrompter(inner);
        return answer;
    }
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
    // The purchase's prompter answers (none: a prompt interrupts the sale); the hook runs at each abort check.
    struct WaitHook : TerminalPrompter {
        WaitHook(std::function<void()> h, std::shared_ptr<TerminalPrompter> i) : hook(std::move(h)), inner(std::move(i)) {}
        std::function<void()> hook;
        std::shared_ptr<TerminalPrompter> inner;
        std::optional<int> menu(const QString& t, const QStringList& o) override { return inner ? inner->menu(t, o) : std::nullopt; }
        std::optional<bool> question(const QString& t) override { return inner ? inner->question(t) : std::nullopt; }
        std::optional<QString> field(const Field& f) override { return inner ? inner->field(f) : std::nullopt; }
        bool pressKey(const QString& t) override { return inner && inner->pressKey(t); }
        bool abortRequested() override
        {
            hook();
            return inner && inner->abortRequested();
        }
    };
    std::function<void()> m_hook;
};
