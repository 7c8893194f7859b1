#pragma once

#include "CliSiTefInterface.h"
#include "HostExport.h"

#include <QString>
#include <memory>
#include <mutex>

// A CliSiTef library loaded at run time (the payment provider's, or our stand-in):
// its entry points resolved once, its configuration done once per load and again only
// when the server, store or terminal changes. The library is not re-entrant: callers
// hold lock() around every call. Loaded libraries stay loaded for the process.
class HOST_EXPORT CliSiTefLibrary
{
public:
    // The library at `path`, loaded on first use and shared afterwards. Throws
    // TerminalError naming the file when it cannot be loaded or lacks an entry point.
    static std::shared_ptr<CliSiTefLibrary> open(const QString& path);

    const QString& path() const { return m_path; }
    std::mutex& lock() { return m_lock; }
    // Configures the library unless it already is for these three; throws TerminalError
    // with the library's answer when it refuses. Call with lock() held.
    void configure(const QString& server, const QString& store, const QString& terminal);
    bool configured() const { return m_configured; }

    ConfiguraIntSiTefInterativoFn configura = nullptr;
    IniciaFuncaoSiTefInterativoFn inicia = nullptr;
    ContinuaFuncaoSiTefInterativoFn continua = nullptr;
    FinalizaFuncaoSiTefInterativoFn finaliza = nullptr;
    ObtemQuantidadeTransacoesPendentesFn pendentes = nullptr;

private:
    explicit CliSiTefLibrary(QString path) : m_path(std::move(path)) {}
    QString m_path;
    std::mutex m_lock;
    bool m_configured = false;
    QString m_server, m_store, m_terminal;
};
