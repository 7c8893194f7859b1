// What a consumer reads comes in English and Spanish too: every text of the
// translation files is translated, every line of the message table has its
// translation (so the list lupdate reads is in step with the table), and the
// message table answers in the language installed.
#include "HostConfig.h"
#include "TMessages.h"
#include "Trad_utl.h"

#include <QFile>
#include <QTranslator>
#include <QXmlStreamReader>
#include <QtTest>

namespace
{
QString sourceFile(const char* relative)
{
    return QStringLiteral(KIOSK_SOURCE_DIR "/") + QString::fromLatin1(relative);
}

// Context and source of each message whose translation is missing or unfinished.
QStringList untranslated(const QString& tsFile)
{
    QFile f(tsFile);
    if (!f.open(QIODevice::ReadOnly))
        return {QStringLiteral("cannot read ") + tsFile};
    QStringList missing;
    QXmlStreamReader xml(&f);
    QString context, source;
    while (!xml.atEnd()) {
        xml.readNext();
        if (!xml.isStartElement())
            continue;
        if (xml.name() == QLatin1String("name")) {
            context = xml.readElementText();
        } else if (xml.name() == QLatin1String("source")) {
            source = xml.readElementText();
        } else if (xml.name() == QLatin1String("translation")) {
            const bool unfinished = xml.attributes().value(QLatin1String("type")) == QLatin1String("unfinished");
            if (unfinished || xml.readElementText().isEmpty())
                missing << context + QStringLiteral(": ") + source;
        }
    }
    if (xml.hasError())
        missing << tsFile + QStringLiteral(": ") + xml.errorString();
    return missing;
}

QStringList tableTexts()
{
    QFile f(sourceFile("resources/msgPadrao.txt"));
    if (!f.open(QIODevice::ReadOnly | QIODevice::Text))
        return {};
    QStringList texts;
    for (const QString& line : QString::fromUtf8(f.readAll()).split(QLatin1Char('\n'))) {
        const qsizetype bar = line.indexOf(QLatin1Char('|'));
        if (bar > 0)
            texts << line.mid(bar + 1);
    }
    return texts;
}
} // namespace

class TestTranslations : public QObject
{
    Q_OBJECT

private slots:
    void everyTextIsTranslated_data()
    {
        QTest::addColumn<QString>("language");
        QTest::newRow("en") << "en";
        QTest::newRow("es") << "es";
    }

    void everyTextIsTranslated()
    {
        QFETCH(QString, language);
        const QStringList missing =
            untranslated(sourceFile("resources/translations/kiosk_") + language + QStringLiteral(".ts"));
        QVERIFY2(missing.isEmpty(), qPrintable(missing.join(QLatin1Char('\n'))));

        QTranslator translator;
        QVERIFY(translator.load(QStringLiteral(":/i18n/kiosk_%1.qm").arg(language)));
        const QStringList texts = tableTexts();
        QCOMPARE(texts.size(), 18);
        for (const QString& text : texts) {
            const QString translated = translator.translate("msgPadrao", text.toUtf8().constData());
            QVERIFY2(!translated.isEmpty(), qPrintable(QStringLiteral("message table: \"%1\" has no translation; "
                                                                      "add it to msgPadrao-texts.cpp and run "
                                                                      "update_translations")
                                                           .arg(text)));
        }
    }

    void messageTableSpeaksTheConsumersLanguage_data()
    {
        QTest::addColumn<QString>("language");
        QTest::addColumn<QString>("key");
        QTest::addColumn<QString>("text");
        QTest::newRow("pt") << "pt"
                            << "TEMP_ESG"
                            << "Tempo esgotado.";
        QTest::newRow("en timeout") << "en"
                                    << "TEMP_ESG"
                                    << "Time is up.";
        QTest::newRow("es timeout") << "es"
                                    << "TEMP_ESG"
                                    << "Tiempo agotado.";
        QTest::newRow("en family") << "en"
                                   << "Inf_Familia"
                                   << "Operation blocked. A balance family must be chosen.";
        QTest::newRow("es wait") << "es"
                                 << "AGUARDE"
                                 << "Espere...";
    }

    void messageTableSpeaksTheConsumersLanguage()
    {
        QFETCH(QString, language);
        QFETCH(QString, key);
        QFETCH(QString, text);
        HostConfig::instance().setLocale(QStringLiteral("pt_BR"));
        Trad_utl::setLanguage(language);
        Trad_utl::Trad(nullptr);
        TMessages messages(QStringLiteral("msgPadrao"));
        messages.loadLines(sourceFile("resources/msgPadrao.txt"));
        QCOMPARE(messages.Msg(key), text);
        Trad_utl::setLanguage(QString());
        Trad_utl::Trad(nullptr);
        QCOMPARE(messages.Msg(QStringLiteral("TEMP_ESG")), QStringLiteral("Tempo esgotado."));
    }
};

QTEST_MAIN(TestTranslations)
#include "tst_translations.moc"
