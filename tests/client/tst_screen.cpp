// The recharge screen as a consumer uses it: balances and total, the family menu
// and its paging, the amount entry from keypad and keyboard, the idle timeout and
// leaving, the card type panel, activation and message boxes.
#include "ScreenUnderTest.h"

#include "FittingLabel.h"
#include "StoreTriggers.h"

#include "MessagePresenter.h"

#include <QTimer>
#include <QtTest>

class TestScreen : public QObject
{
    Q_OBJECT

private slots:
    void consumerNameTotalAndFamiliesShowOnActivation_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QList<double>>("balances");
        QTest::addColumn<QString>("total");
        QTest::newRow("comma") << "pt_BR" << QList<double>{1000, 234.5} << "1234,50";
        QTest::newRow("negative") << "pt_BR" << QList<double>{-2} << "-2,00";
        QTest::newRow("full stop") << "en_US" << QList<double>{1000, 234.5} << "1234.50";
        QTest::newRow("no balance row") << "pt_BR" << QList<double>{} << "0,00";
        QTest::newRow("seven integer digits") << "pt_BR" << QList<double>{9999999.99} << "9999999,99";
    }
    void consumerNameTotalAndFamiliesShowOnActivation()
    {
        QFETCH(QString, locale);
        QFETCH(QList<double>, balances);
        QFETCH(QString, total);
        ScreenUnderTest s(3, locale);
        for (int i = 0; i < balances.size(); ++i)
            s.balance(QStringLiteral("00%1").arg(i + 1), balances[i]);
        QVERIFY(s.open());
        QCOMPARE(s.text("blsNome"), QStringLiteral("Maria Consumidora"));
        QCOMPARE(s.text("lblCaption"), QStringLiteral("Maria Consumidora"));
        QCOMPARE(s.text("lblVrTotSalCons"), total);
        // One separator on one screen: the resets read as the total does.
        const QString reset = QStringLiteral("0") + total.at(total.size() - 3) + QStringLiteral("00");
        QCOMPARE(s.text("lblVrSaldo"), reset);
        QCOMPARE(s.text("lblVrSaldoCons"), reset);
        // Every value and the card panel's title show whole, in the design's sizes.
        for (const char* name : {"lblVrTotSalCons", "lblVrSaldoCons", "lblVrSaldo", "Label1"}) {
            const auto* label = s.screen->control<FittingLabel>(QString::fromLatin1(name));
            QVERIFY2(label, name);
            QVERIFY2(QFontMetrics(label->fittedFont()).horizontalAdvance(label->text()) <=
                         label->contentsRect().width(),
                     name);
        }
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 1"));
        QVERIFY(s.screen->LiberaOK);
        QCOMPARE(s.screen->PortaImpressora, QStringLiteral("COM7"));
    }

    void menuShowsFiveSlotsAndArrowsOnlyWhenItMustScroll_data()
    {
        QTest::addColumn<int>("families");
        QTest::addColumn<int>("shownSlots");
        QTest::addColumn<bool>("arrows");
        QTest::newRow("3") << 3 << 3 << false;
        QTest::newRow("5") << 5 << 5 << false;
        QTest::newRow("6") << 6 << 5 << true;
        QTest::newRow("7") << 7 << 5 << true;
    }
    void menuShowsFiveSlotsAndArrowsOnlyWhenItMustScroll()
    {
        QFETCH(int, families);
        QFETCH(int, shownSlots);
        QFETCH(bool, arrows);
        ScreenUnderTest s(families);
        QVERIFY(s.open());
        for (int slot = 1; slot <= 8; ++slot) {
            const bool shown = slot <= shownSlots;
            QCOMPARE(s.menu(slot)->isVisible(), shown);
            if (slot <= 5)
                QCOMPARE(s.visible(QStringLiteral("blsFundoMenu%1").arg(slot)), shown);
            if (shown) {
                QCOMPARE(s.menu(slot)->text(), QStringLiteral("Família %1").arg(slot));
                QCOMPARE(s.menu(slot)->tag(), slot);
            }
        }
        QCOMPARE(s.visible("bbbAcima"), arrows);
        QCOMPARE(s.visible("bbbAbaixo"), arrows);
    }

    void arrowsPageOneRowAndStopAtBothEnds()
    {
        ScreenUnderTest s(7);
        QVERIFY(s.open());
        QVERIFY(s.restartsCountdown([&] { s.click("bbbAcima"); })); // at the top: only the countdown
        QCOMPARE(s.screen->InicioMenu, 0);
        s.click("bbbAbaixo");
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 2"));
        s.click("bbbAbaixo");
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 3"));
        QCOMPARE(s.menu(5)->text(), QStringLiteral("Família 7"));
        QVERIFY(s.restartsCountdown([&] { s.click("bbbAbaixo"); })); // last row in slot 5: no move
        QCOMPARE(s.screen->InicioMenu, 2);
        QCOMPARE(s.menu(5)->tag(), 7);
        s.click("bbbAcima");
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 2"));
        QCOMPARE(s.screen->InicioMenu, 1);
    }

    void familyPressShowsItsBalanceAndStaysChosenWhenScrolledAway()
    {
        ScreenUnderTest s(7);
        s.balance(QStringLiteral("001"), 10.5);
        s.balance(QStringLiteral("007"), 3);
        QVERIFY(s.open());
        s.click("blbMenu1");
        QCOMPARE(s.screen->FamiliaSelecionada, QStringLiteral("001"));
        QCOMPARE(s.text("lblVrSaldoCons"), QStringLiteral("10,50"));
        s.click("bbbAbaixo");
        s.click("bbbAbaixo");
        QCOMPARE(s.screen->FamiliaSelecionada, QStringLiteral("001"));
        QCOMPARE(s.text("lblVrSaldoCons"), QStringLiteral("10,50"));
        QCOMPARE(s.screen->cdsSALDOCONS->fieldByName(QStringLiteral("CDFAMILISALD")).asString(), QStringLiteral("001"));

        // Code 007 travels as tag 7 and comes back as the three-character code.
        s.click("blbMenu5");
        QCOMPARE(s.screen->FamiliaSelecionada, QStringLiteral("007"));
        QCOMPARE(s.text("lblVrSaldoCons"), QStringLiteral("3,00"));
        // A family without a balance row reads 0.
        s.click("blbMenu1");
        QCOMPARE(s.screen->FamiliaSelecionada, QStringLiteral("003"));
        QCOMPARE(s.text("lblVrSaldoCons"), QStringLiteral("0,00"));
    }

    void menuAndArrowsKeepWorkingAfterAReload()
    {
        ScreenUnderTest s(7);
        QVERIFY(s.open());
        s.click("bbbAbaixo");
        s.screen->RecSaldo(); // as after an activation or a purchase
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 2"));
        s.click("bbbAbaixo");
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 3"));
        s.click("bbbAcima");
        s.click("bbbAcima");
        QCOMPARE(s.menu(1)->text(), QStringLiteral("Família 1"));
    }

    void amountEntry_data()
    {
        QTest::addColumn<QString>("locale");
        QTest::addColumn<QString>("keys");
        QTest::addColumn<QString>("shown");
        QTest::addColumn<QString>("digits");
        QTest::newRow("seventh digit swallowed") << "pt_BR"
                                                 << "1234567"
                                                 << "1234,56"
                                                 << "123456";
        QTest::newRow("keypad") << "pt_BR"
                                << "#1#2#3#4#5#6#7"
                                << "1234,56"
                                << "123456";
        QTest::newRow("one digit") << "pt_BR"
                                   << "005"
                                   << "0,05"
                                   << "005";
        QTest::newRow("leading zeros stay") << "pt_BR"
                                            << "0005"
                                            << "00,05"
                                            << "0005";
        QTest::newRow("two digits") << "pt_BR"
                                    << "#1#2"
                                    << "0,12"
                                    << "12";
        QTest::newRow("keypad zero") << "pt_BR"
                                     << "#0"
                                     << "0,00"
                                     << "0";
        QTest::newRow("corrected to empty") << "pt_BR"
                                            << "5<"
                                            << ""
                                            << "";
        QTest::newRow("correction on empty") << "pt_BR"
                                             << "5<<"
                                             << ""
                                             << "";
        QTest::newRow("correction key") << "pt_BR"
                                        << "123<4"
                                        << "1,24"
                                        << "124";
        QTest::newRow("letters ignored") << "pt_BR"
                                         << "1a2Z"
                                         << "0,12"
                                         << "12";
        QTest::newRow("escape ignored") << "pt_BR"
                                        << "12!"
                                        << "0,12"
                                        << "12";
        QTest::newRow("enter ignored as a character") << "pt_BR"
                                                      << "12>"
                                                      << "0,12"
                                                      << "12";
        QTest::newRow("full stop") << "en_US"
                                   << "123"
                                   << "1.23"
                                   << "123";
    }
    void amountEntry()
    {
        QFETCH(QString, locale);
        QFETCH(QString, keys);
        QFETCH(QString, shown);
        QFETCH(QString, digits);
        ScreenUnderTest s(3, locale);
        QVERIFY(s.open());
        s.type(keys);
        QCOMPARE(s.text("lblVrSaldo"), shown);
        QCOMPARE(s.screen->ValorDigitado, digits);
        QVERIFY(s.screen->isVisible()); // Escape never closes the screen
    }

    void countdownRestartsExactlyOnInput_data()
    {
        QTest::addColumn<QString>("typedFirst");
        QTest::addColumn<QString>("action");
        QTest::addColumn<bool>("restarts");
        QTest::newRow("digit") << ""
                               << "1" << true;
        QTest::newRow("seventh digit") << "123456"
                                       << "7" << true;
        QTest::newRow("keypad digit") << ""
                                      << "#4" << true;
        QTest::newRow("letter") << ""
                                << "a" << false;
        QTest::newRow("escape") << ""
                                << "!" << false;
        QTest::newRow("correction on empty") << ""
                                             << "<" << true;
        QTest::newRow("family") << ""
                                << "menu" << true;
        QTest::newRow("activation") << ""
                                    << "activate" << false;
    }
    void countdownRestartsExactlyOnInput()
    {
        QFETCH(QString, typedFirst);
        QFETCH(QString, action);
        QFETCH(bool, restarts);
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        s.type(typedFirst);
        auto act = [&] {
            if (action == QLatin1String("menu"))
                s.click("blbMenu2");
            else if (action == QLatin1String("activate"))
                s.screen->FormActivate(s.screen.get());
            else
                s.type(action);
        };
        QCOMPARE(s.restartsCountdown(act), restarts);
        QCOMPARE(s.screen->tmrPadrao->interval(), 15000);
        // With the timeout set nothing restarts it.
        s.screen->TempoEsgotado = true;
        QVERIFY(!s.restartsCountdown(act));
    }

    void noFamilyLocksKeypadAndKeyboard()
    {
        ScreenUnderTest s(0);
        QVERIFY(s.open());
        QCOMPARE(s.text("blsNome"), QStringLiteral("Maria Consumidora"));
        for (const char* value : {"lblVrSaldo", "lblVrSaldoCons", "lblVrTotSalCons"})
            QCOMPARE(s.text(QString::fromLatin1(value)), QStringLiteral("0,00"));
        for (int digit = 0; digit <= 9; ++digit)
            QVERIFY(!s.screen->control(QStringLiteral("dxbTeclado%1").arg(digit))->isEnabled());
        QVERIFY(!s.screen->control("dxbTclCorrigir")->isEnabled());
        QVERIFY(!s.screen->control("dxbTclEnter")->isEnabled());
        QVERIFY(!s.restartsCountdown([&] { s.type("12#3<>"); }));
        QCOMPARE(s.text("lblVrSaldo"), QStringLiteral("0,00"));
        QVERIFY(s.screen->ValorDigitado.isEmpty());
        QVERIFY(s.screen->isVisible());
        s.click("bbbVoltar"); // leaving still works
        QVERIFY(!s.screen->isVisible());
    }

    void reactivationClearsTheAmountButAClosingMessageBoxDoesNot()
    {
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        QWidget other;
        auto refocus = [&] {
            other.show();
            other.activateWindow();
            if (!QTest::qWaitForWindowActive(&other))
                return false;
            s.screen->activateWindow();
            return QTest::qWaitForWindowActive(s.screen.get()) && s.loaded();
        };
        s.type("12");
        QVERIFY(refocus());
        QCOMPARE(s.text("lblVrSaldo"), QStringLiteral("0,00"));
        QVERIFY(s.screen->ValorDigitado.isEmpty());

        // A host message box over the screen: closing it keeps the amount.
        s.type("34");
        MessagePresenter::setInstance(nullptr);
        MessagePresenter::instance().notify(QStringLiteral("Aviso"));
        QWidget* box = QApplication::activeModalWidget();
        QVERIFY(box && box->objectName() == QLatin1String("KioskMessageBox"));
        box->findChild<QAbstractButton*>(QStringLiteral("btnOk"))->click();
        MessagePresenter::setInstance(&s.messages);
        s.screen->activateWindow(); // where no window manager hands the focus back
        QVERIFY(QTest::qWaitForWindowActive(s.screen.get()));
        QCOMPARE(s.text("lblVrSaldo"), QStringLiteral("0,34"));
        // ... and the next real re-activation clears it again.
        QVERIFY(refocus());
        QCOMPARE(s.text("lblVrSaldo"), QStringLiteral("0,00"));
    }

    void aFailingEvolutionOnShowStillLoadsTheBalances()
    {
        ScreenUnderTest s(3);
        s.balance(QStringLiteral("001"), 12.5);
        // A statement line the balance does not reflect yet: the evolution must write it, and fails.
        s.fixture.store->exec(QStringLiteral(
            "INSERT INTO EXTRATOCONS (CDCLIENTE, CDCONSUMIDOR, CDFAMILISALD, DTMOVEXTCONS, NRSEQMOVEXT, IDTPMOVEXT,"
            " VRMOVEXTCONS, VRSALDCONEXT) VALUES ('C1', 'K1', '001', '2026-12-01 09:00:00.000', '001', 'C', 5, 5)"));
        StoreTriggers::failBalanceWriteOf(*s.fixture.store, "001");
        MessagePresenter::setInstance(nullptr); // the real host box, closed as a consumer would
        const bool active = s.open();
        QWidget* box = nullptr;
        QVERIFY(QTest::qWaitFor([&] { return (box = QApplication::activeModalWidget()) != nullptr; }, 10000));
        QVERIFY(!box->findChild<QLabel*>(QStringLiteral("lblText"))->text().isEmpty()); // the failure was shown
        box->findChild<QAbstractButton*>(QStringLiteral("btnOk"))->click();
        MessagePresenter::setInstance(&s.messages);
        if (!active) // the box came up before the screen's first activation
            s.screen->activateWindow();
        QVERIFY(active || QTest::qWaitForWindowActive(s.screen.get()));
        QTRY_COMPARE(s.text("lblVrTotSalCons"), QStringLiteral("12,50"));
        QVERIFY(s.menu(1)->isVisible());
        QVERIFY(s.screen->LiberaOK);
    }

    void timeoutShowsTheMessageIgnoresInputForThreeSecondsThenCloses()
    {
        ScreenUnderTest s(7);
        QVERIFY(s.open());
        s.type("12");
        s.click("blbMenu1");
        s.clock.advanceMs(15000);
        QMetaObject::invokeMethod(s.screen->tmrPadrao, "timeout");
        // During the notice's 3 seconds the screen paints and takes input, which means nothing.
        QCOMPARE(s.text("lblMensagem"), QStringLiteral("Tempo esgotado."));
        QVERIFY(s.screen->TempoEsgotado);
        s.type("3#4<a>");
        s.click("blbMenu2");
        s.click("bbbAbaixo");
        s.clock.advanceMs(2999);
        QTest::qWait(250); // several ticks of the wait, each reading the clock
        QVERIFY(s.screen->isVisible());
        s.clock.advanceMs(1);
        QTRY_VERIFY(!s.screen->isVisible());
        QCOMPARE(s.screen->result(), int(QDialog::Rejected));
        QCOMPARE(s.text("lblVrSaldo"), QStringLiteral("0,12"));
        QCOMPARE(s.screen->FamiliaSelecionada, QStringLiteral("001"));
        QCOMPARE(s.screen->InicioMenu, 0);
    }

    void backButtonDuringTheTimeoutWaitClosesWithoutWaitingOut()
    {
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        s.clock.advanceMs(15000);
        QMetaObject::invokeMethod(s.screen->tmrPadrao, "timeout");
        QVERIFY(s.screen->isVisible()); // the timeout's notice is up for its seconds...
        s.click("bbbVoltar");
        QVERIFY(!s.screen->isVisible()); // ... which the back button cuts short
    }

    void closeRequestedInsideAHandlerTakesEffectWhenItReturns()
    {
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        bool visibleInside = false;
        s.screen->runHandler([&] {
            s.screen->bbbVoltarClick(nullptr);
            visibleInside = s.screen->isVisible();
        });
        QVERIFY(visibleInside);
        QVERIFY(!s.screen->isVisible());
    }

    void cardTypeButtonsStoreTheAnswer_data()
    {
        QTest::addColumn<QString>("button");
        QTest::addColumn<int>("cardType");
        QTest::addColumn<bool>("freesOk");
        QTest::newRow("credit") << "blbCredit" << 1 << false;
        QTest::newRow("debit") << "blbDebt" << 2 << false;
        QTest::newRow("cancel") << "BlendedBitBtn1" << -1 << true;
    }
    void cardTypeButtonsStoreTheAnswer()
    {
        QFETCH(QString, button);
        QFETCH(int, cardType);
        QFETCH(bool, freesOk);
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        s.click("blbMenu1");
        s.type("25");
        s.click("dxbTclEnter");
        QVERIFY(s.visible("PanTipoRece"));
        s.messages.nextAnswer = false; // the confirmation, when a card type leads to it
        s.click(button);
        QCOMPARE(s.screen->TipoCartao, cardType);
        QVERIFY(!s.visible("PanTipoRece"));
        QCOMPARE(s.screen->LiberaOK, freesOk);
    }

    // A consumer who walks away at the card type panel: the wait ends as if nothing was
    // chosen, and the screen closes once the timeout's 3 seconds are out.
    void timeoutDuringTheCardTypeWaitEndsTheWait()
    {
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        s.click("blbMenu1");
        s.type("25");
        s.click("dxbTclEnter");
        QVERIFY(s.visible("PanTipoRece"));
        s.clock.advanceMs(15000);
        QMetaObject::invokeMethod(s.screen->tmrPadrao, "timeout");
        QCOMPARE(s.screen->TipoCartao, 0);
        QVERIFY(!s.visible("PanTipoRece"));
        QVERIFY(!s.screen->purchaseRunning());
        QCOMPARE(s.text("lblMensagem"), QStringLiteral("Tempo esgotado."));
        QVERIFY(s.screen->isVisible()); // the notice's 3 seconds
        s.clock.advanceMs(3000);
        QTRY_VERIFY(!s.screen->isVisible());
    }

    // The countdown is read off the clock: a timer tick that comes early (a coarse timer
    // may fire 5% before its interval) waits for the rest of the 15 seconds.
    void idleTimeoutNeverFiresEarly_data()
    {
        QTest::addColumn<int>("elapsedMs");
        QTest::addColumn<bool>("fires");
        QTest::newRow("14.25 s, a coarse timer's early tick") << 14250 << false;
        QTest::newRow("one millisecond short") << 14999 << false;
        QTest::newRow("15 s") << 15000 << true;
    }
    void idleTimeoutNeverFiresEarly()
    {
        QFETCH(int, elapsedMs);
        QFETCH(bool, fires);
        ScreenUnderTest s(3);
        QVERIFY(s.open());
        s.type("1"); // restarts the countdown now
        s.clock.advanceMs(elapsedMs);
        QMetaObject::invokeMethod(s.screen->tmrPadrao, "timeout");
        QCOMPARE(s.screen->TempoEsgotado, fires);
        s.clock.advanceMs(3000); // the timeout's own wait
        if (fires)
            QTRY_VERIFY(!s.screen->isVisible());
        else
            QVERIFY(s.screen->isVisible());
    }
};

QTEST_MAIN(TestScreen)
#include "tst_screen.moc"
