#include "Consiste.h"

namespace Consiste {
QString Ajusta(const QString& text, int width)
{
    return text.size() >= width ? text : QString(width - text.size(), QLatin1Char('0')) + text;
}

bool EmptyString(const QString& text)
{
    return text.trimmed().isEmpty();
}
} // namespace Consiste
