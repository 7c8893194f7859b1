#include "FontSubstitutes.h"

#include <QFont>
#include <QFontDatabase>
#include <QStringList>

namespace FontSubstitutes {

void install()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    const QStringList fallbacks{QStringLiteral("DejaVu Sans"), QStringLiteral("Bitstream Vera Sans"),
                                QStringLiteral("Liberation Sans")};
    const QStringList families = QFontDatabase::families();
    for (const char* designed : {"Verdana", "Tahoma", "MS Sans Serif"}) {
        const QString name = QString::fromLatin1(designed);
        if (families.contains(name, Qt::CaseInsensitive))
            continue;
        QFont::insertSubstitutions(name, fallbacks);
    }
}

} // namespace FontSubstitutes
