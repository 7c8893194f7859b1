#include "Mensagemzel.h"

#include "DataPacket.h"
#include "Logging.h"
#include "MessagePresenter.h"

namespace Mensagemzel
{

QVariant MensagemMetodo(const QVariant& result, bool, int, const QString& method, const QString& caller,
                        const QString& arguments, const QString& schema)
{
    if (result.metaType().id() != QMetaType::QString)
        return result;
    const QString text = result.toString();
    qCWarning(lcServer).noquote() << QStringLiteral("%1 failed (caller %2, arguments \"%3\", schema %4): %5")
                                         .arg(method, caller, arguments, schema, text);
    MessagePresenter::instance().notify(text);
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

bool Mensagem(const QString& text, const QString&, const QString&, const QString& answer, int kind, const QString&,
              const QString&, int, ClientDataSet*)
{
    const QString shown = MessageSubject::fill(text);
    if (kind == tmPergunta && answer == QLatin1String("S"))
        return MessagePresenter::instance().ask(shown);
    MessagePresenter::instance().notify(shown);
    return false;
}

} // namespace Mensagemzel
