#include "Trad_utl.h"

#include "HostConfig.h"
#include "Logging.h"

#include <QCoreApplication>
#include <QEvent>
#include <QLocale>
#include <QTranslator>
#include <QWidget>

namespace Trad_utl
{
namespace
{
QString& chosenLanguage()
{
    static QString chosen;
    return chosen;
}
} // namespace

void setLanguage(const QString& language)
{
    chosenLanguage() = language;
}

QString language()
{
    const QString& chosen = chosenLanguage();
    return chosen.isEmpty() ? QLocale(HostConfig::instance().locale()).name().left(2) : chosen;
}

void Trad(QWidget* form)
{
    static QTranslator* translator = nullptr;
    static QString installedFor;
    const QLocale locale(HostConfig::instance().locale());
    QLocale::setDefault(locale);
    const QString language = Trad_utl::language();
    if (installedFor != language) {
        if (translator) {
            QCoreApplication::removeTranslator(translator);
            delete translator;
            translator = nullptr;
        }
        if (language != QLatin1String("pt")) {
            auto* t = new QTranslator;
            if (t->load(QStringLiteral(":/i18n/kiosk_%1.qm").arg(language))) {
                QCoreApplication::installTranslator(t);
                translator = t;
            } else {
                qCWarning(lcHost) << "no translation for" << language << "- showing Portuguese texts";
                delete t;
            }
        }
        installedFor = language;
    }
    if (form) {
        QEvent change(QEvent::LanguageChange);
        QCoreApplication::sendEvent(form, &change);
    }
}
} // namespace Trad_utl
