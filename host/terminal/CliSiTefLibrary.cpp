#include "CliSiTefLibrary.h"

#include "PaymentTerminal.h"
#include "TerminalLogging.h"

#include <QHash>
#include <QLibrary>

namespace
{
std::mutex registryLock;
QHash<QString, std::shared_ptr<CliSiTefLibrary>>& registry()
{
    static QHash<QString, std::shared_ptr<CliSiTefLibrary>> libraries;
    return libraries;
}

template <typename Fn> Fn resolve(QLibrary& library, const char* name)
{
    QFunctionPointer f = library.resolve(name);
    if (!f)
        throw TerminalError(QStringLiteral("the card-payment library %1 lacks the entry point %2")
                                .arg(library.fileName(), QString::fromLatin1(name)));
    return reinterpret_cast<Fn>(f);
}
} // namespace

std::shared_ptr<CliSiTefLibrary> CliSiTefLibrary::open(const QString& path)
{
    if (path.isEmpty())
        throw TerminalError(QStringLiteral("no card-payment library configured ([terminal] library or "
                                           "KIOSK_TERMINAL_LIBRARY)"));
    std::lock_guard guard(registryLock);
    if (auto found = registry().value(path))
        return found;
    // Never unloaded: the library keeps its own threads and state for the process.
    QLibrary library(path);
    if (!library.load())
        throw TerminalError(
            QStringLiteral("the card-payment library %1 cannot be loaded: %2").arg(path, library.errorString()));
    std::shared_ptr<CliSiTefLibrary> loaded(new CliSiTefLibrary(path));
    loaded->configura = resolve<ConfiguraIntSiTefInterativoFn>(library, CliSiTef::configureName);
    loaded->inicia = resolve<IniciaFuncaoSiTefInterativoFn>(library, CliSiTef::startName);
    loaded->continua = resolve<ContinuaFuncaoSiTefInterativoFn>(library, CliSiTef::continueName);
    loaded->finaliza = resolve<FinalizaFuncaoSiTefInterativoFn>(library, CliSiTef::finishName);
    loaded->pendentes = resolve<ObtemQuantidadeTransacoesPendentesFn>(library, CliSiTef::pendingName);
    registry().insert(path, loaded);
    qCInfo(lcTerminal) << "card-payment library loaded:" << path;
    return loaded;
}

void CliSiTefLibrary::configure(const QString& server, const QString& store, const QString& terminal)
{
    if (m_configured && server == m_server && store == m_store && terminal == m_terminal)
        return;
    QByteArray s = server.toLatin1(), l = store.toLatin1(), t = terminal.toLatin1(), reserved("0");
    const int result = configura(s.data(), l.data(), t.data(), reserved.data());
    if (result != CliSiTef::Result::ok) {
        m_configured = false;
        throw TerminalError(QStringLiteral("the card-payment library refused its configuration (server %1, store "
                                           "%2, terminal %3): code %4")
                                .arg(server, store, terminal)
                                .arg(result));
    }
    m_configured = true;
    m_server = server;
    m_store = store;
    m_terminal = terminal;
    qCInfo(lcTerminal) << "card-payment library configured: server" << server << "store" << store << "terminal"
                       << terminal;
}
