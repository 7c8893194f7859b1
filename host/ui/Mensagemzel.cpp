#include "Mensagemzel.h"

#include "DataPacket.h"
#include "Logging.h"
#include "MessagePresenter.h"
#include "ServerResult.h"

#include <QCoreApplication>

namespace Mensagemzel
{

QVariant MensagemMetodo(const QVariant& result, bool, int, const QString& method, const QString& caller,
                        const QString& arguments, const QString& schema)
{
    if (!ServerResult::logFailure(result, method, caller, arguments, schema))
        return result;
    // The store's own words (SQL, paths, connection details) stay in the log; the consumer
    // is told in words of the kiosk's.
    MessagePresenter::instance().notify(QCoreApplication::translate(
        "Mensagemzel", "Não foi possível consultar os dados agora. Tente novamente em instantes."));
    return PacketVariant::of(DataPacket());
}

namespace
{
QString currentSubject;
} // namespace

MessageSubject::MessageSubject(const QString& subject) : m_previous(currentSubject)
{
    currentSubject = subject;
}

MessageSubject::~MessageSubject()
{
    currentSubject = m_previous;
}

QString MessageSubject::fill(const QString& text)
{
    const QString placeholder = QStringLiteral("%s");
    if (!text.contains(placeholder))
        return text;
    QString filled = text;
    if (currentSubject.trimmed().isEmpty())
        filled.replace(QStringLiteral(" %s"), QString()).replace(placeholder, QString());
    else
        filled.replace(placeholder, currentSubject);
    return filled;
}

void Mensagem(const QString& text, const QString&, const QString&, const QString& answer, int kind, const QString&,
              const QString&, int, ClientDataSet*, std::function<void(bool)> answered)
{
    const QString shown = MessageSubject::fill(text);
    if (kind == tmPergunta && answer == QLatin1String("S")) {
        MessagePresenter::instance().ask(shown, answered);
        return;
    }
    MessagePresenter::instance().notify(shown, [answered] {
        if (answered)
            answered(false);
    });
}

} // namespace Mensagemzel
