#pragma once

#include "DeviceSettings.h"
#include "FiscalDocumentMap.h"
#include "HostExport.h"
#include "PaymentTerminal.h"

#include <memory>

class CliSiTefLibrary;

// A card-payment terminal reached through a CliSiTef library loaded at run time (the
// payment provider's, or our stand-in): the library named by the [terminal] settings,
// configured once per load with the request's server address and the settings' store
// and terminal ids. A sale runs the library's continue loop on the calling thread (each
// step may block on the card, the PIN or the network); the library's messages go to
// display(), its questions to the prompter. The library settles by fiscal document, the
// callers by NSU: a FiscalDocumentMap beside the purchase journal joins the two, so a
// confirm or an undo after a crash finds the document. A library that cannot be loaded,
// or lacks an entry point, refuses every sale with its reason.
class HOST_EXPORT CliSiTefTerminal : public PaymentTerminal
{
public:
    // `documents` is the map's file; `storeReceipts` where the store's copies are appended.
    CliSiTefTerminal(TerminalSettings settings, QString documents = FiscalDocumentMap::defaultFile(),
                     QString storeReceipts = defaultStoreReceipts());
    ~CliSiTefTerminal() override;
    // data folder/tef-store-receipts.txt
    static QString defaultStoreReceipts();

    TerminalAnswer authorise(const TerminalRequest& request) override;
    void confirm(const QString& nsu) override;
    void undo(const QString& nsu) override;
    std::optional<TerminalState> status(const QString& nsu) override;
    QList<PendingTransaction> pending() override;

    // Library, store and terminal, and why the library cannot be used (empty when it can).
    QString description() const;
    const QString& failure() const { return m_failure; }
    // The function a request runs: its own (credit or debit), else the generic payment,
    // in which the library asks how to pay.
    static int functionFor(const TerminalRequest& request);
    // The amount as the library takes it: "12,34".
    static QByteArray amountText(Money amount);

private:
    std::shared_ptr<CliSiTefLibrary> usable() const;
    void finish(const QString& nsu, bool confirm);
    void keepStoreReceipt(const TerminalAnswer& answer) const;

    TerminalSettings m_settings;
    FiscalDocumentMap m_documents;
    QString m_storeReceipts;
    std::shared_ptr<CliSiTefLibrary> m_library;
    QString m_failure;
};
