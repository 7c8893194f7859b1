#pragma once

#include "ClientDataSet.h"
#include "Clock.h"
#include "DataPacket.h"
#include "HostConfig.h"
#include "ModuleFixture.h"
#include "Packets.h"
#include "ReaderBurstFilter.h"
#include "ScreenGeometry.h"
#include "ScriptedMessages.h"
#include "TBlendedButton.h"
#include "ModuleInstances.h"
#include "TfrmRecSaldo.h"

#include <QAbstractButton>
#include <QLabel>
#include <QLocale>
#include <QTemporaryDir>
#include <QTimer>
#include <QTest>
#include <memory>

// A recharge screen over a test store: branch 0001 with `families` families
// ("Família n", codes 001..n), consumer C1/K1 "Maria Consumidora", a manual clock and
// scripted message boxes. open() shows it and waits for its first activation.
struct ScreenUnderTest
{
    explicit ScreenUnderTest(int families, const QString& locale = QStringLiteral("pt_BR"))
        : clock(QDateTime(QDate(2026, 12, 8), QTime(10, 0)))
    {
        QLocale::setDefault(QLocale(locale));
        HostConfig::instance().setLocale(locale); // the screen's translation applies it again
        HostConfig::instance().setDataFolder(data.path());
        ScreenGeometry::setOverride(QSize(1024, 768));
        Clock::setInstance(&clock);
        fixture.seedBranch(families);
        screen = std::make_unique<TfrmRecSaldo>();
        screen->InicializaForm(ModuleInstances::dataModule());
        screen->parametros.CDFILIAL = QStringLiteral("0001");
        screen->parametros.CDCAIXA = QStringLiteral("001");
        screen->parametros.CDCLIENTE = QStringLiteral("C1");
        screen->cdsConsumidor->setData(PacketVariant::of(
            Packets::consumer(QStringLiteral("C1"), QStringLiteral("K1"), QStringLiteral("Maria Consumidora"))));
    }
    ~ScreenUnderTest()
    {
        screen.reset();
        Clock::setInstance(nullptr);
        MessagePresenter::takeReactivation();
    }

    void balance(const QString& family, double value)
    {
        fixture.store->exec(QStringLiteral("INSERT INTO SALDOCONS VALUES ('C1', 'K1', '%1', %2)")
                                .arg(family, QString::number(value, 'f', 2)));
    }

    bool open()
    {
        screen->show();
        // The balances are read on the screen's store worker once it is activated.
        return QTest::qWaitForWindowActive(screen.get()) && loaded();
    }
    // The balances read on the screen's store worker are shown.
    bool loaded()
    {
        return QTest::qWaitFor([this] { return !screen->storeBusy(); }, 10000);
    }

    QString text(const QString& name) const
    {
        if (auto* label = screen->control<QLabel>(name))
            return label->text();
        return screen->control<QAbstractButton>(name)->text();
    }
    bool visible(const QString& name) const { return screen->control(name)->isVisible(); }
    void click(const QString& name) { screen->control<QAbstractButton>(name)->click(); }
    TBlendedButton* menu(int slot) const { return screen->control<TBlendedButton>(QStringLiteral("blbMenu%1").arg(slot)); }

    // Types a script of keys: digits and letters as typed, '<' Backspace, '>' Enter,
    // '!' Escape, '#d' the keypad button of digit d; at a person's pace.
    void type(const QString& keys)
    {
        for (qsizetype i = 0; i < keys.size(); ++i) {
            const QChar c = keys.at(i);
            if (c == QLatin1Char('#'))
                click(QStringLiteral("dxbTeclado") + keys.at(++i));
            else if (c == QLatin1Char('<'))
                QTest::keyClick(screen.get(), Qt::Key_Backspace);
            else if (c == QLatin1Char('>'))
                QTest::keyClick(screen.get(), Qt::Key_Return);
            else if (c == QLatin1Char('!'))
                QTest::keyClick(screen.get(), Qt::Key_Escape);
            else
                QTest::keyClick(screen.get(), c.toLatin1());
            // A person pauses between keys: the key preview lets each key through.
            screen->keyPreview()->endRun();
        }
    }

    // Whether `action` restarts the idle countdown: the timer is stopped first, so only
    // a restart leaves it running.
    template <typename F> bool restartsCountdown(F&& action)
    {
        screen->tmrPadrao->stop();
        action();
        return screen->tmrPadrao->isActive();
    }

    QTemporaryDir data;
    ManualClock clock;
    ScriptedMessages messages;
    ModuleFixture fixture;
    std::unique_ptr<TfrmRecSaldo> screen;
};
