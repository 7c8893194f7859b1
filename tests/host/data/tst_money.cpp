// One amount, the same cents in the store, keypad, terminal, earlier journals, charge match, screen and receipt.
#include "AmountText.h"
#include "CliSiTefTerminal.h"
#include "ClientDataSet.h"
#include "CreditReceipt.h"
#include "DateTimeValue.h"
#include "Ledger.h"
#include "Packets.h"
#include "PurchaseJournal.h"
#include "PurchaseOrder.h"
#include "StoreLimits.h"

#include <QTemporaryDir>
#include <QtTest>

class TestMoney : public QObject
{
    Q_OBJECT

private slots:
    void initTestCase() { QLocale::setDefault(QLocale(QStringLiteral("pt_BR"))); }

    void everySiteGivesTheSameCents_data()
    {
        QTest::addColumn<double>("value"); // as a driver, a packet or an earlier journal gives it
        QTest::addColumn<QString>("text"); // empty: refused
        QTest::newRow("half cent") << 0.005 << "0,01";
        QTest::newRow("1.005, binary below the half") << 1.005 << "1,01";
        QTest::newRow("2.675") << 2.675 << "2,68";
        QTest::newRow("1.115") << 1.115 << "1,12";
        QTest::newRow("0.285") << 0.285 << "0,29";
        QTest::newRow("sum noise") << 0.1 + 0.2 << "0,30";
        QTest::newRow("largest the store holds") << 1e13 - 0.005 << "9999999999999,99";
        QTest::newRow("negative half") << -0.125 << "-0,13";
        QTest::newRow("negative 2.675") << -2.675 << "-2,68";
        QTest::newRow("minus zero") << -0.0 << "0,00";
        QTest::newRow("beyond NUMERIC(15,2)") << 9999999999999.996 << "";
        QTest::newRow("10^13") << 1e13 << "";
        QTest::newRow("NaN") << std::numeric_limits<double>::quiet_NaN() << "";
        QTest::newRow("infinity") << -std::numeric_limits<double>::infinity() << "";
    }
    void everySiteGivesTheSameCents()
    {
        QFETCH(double, value);
        QFETCH(QString, text);
        const QDateTime at(QDate(2026, 12, 8), QTime(10, 15));
        PurchaseRecord record;
        record.id = PurchaseRecord::newId();
        record.packet = Packets::movement({value}, DateTimeValue::fromDateTime(at));
        ClientDataSet movement(QStringLiteral("cdsMovCaixa"));
        movement.setData(record.packet);
        CreditReceipt receipt;
        QCOMPARE(AmountText::money(value, QLatin1Char(',')), text);
        if (text.isEmpty()) {
            QVERIFY_THROWS_EXCEPTION(KioskError, StoreLimits::money(value, QStringLiteral("VRMOVIVEND")));
            QVERIFY_THROWS_EXCEPTION(KioskError, record.amount());
            QVERIFY_THROWS_EXCEPTION(KioskError, receipt.takeMovement(movement));
            return;
        }
        const Money money = StoreLimits::money(value, QStringLiteral("VRMOVIVEND"));
        QCOMPARE(money.text(QLatin1Char(',')), text);
        if (money > Money()) { // the consumer types the store's cents; the terminal is asked for them
            PurchaseOrder order;
            order.digits = QString::number(money.cents());
            order.amount = PurchaseOrder::amountOfDigits(order.digits);
            QCOMPARE(order.amountText(QLatin1Char(',')), text);
            QCOMPARE(QString::fromLatin1(CliSiTefTerminal::amountText(order.amount)), text);
        }
        // The journal takes the binary amount back as the same cents, and the charge matches it.
        QTemporaryDir dir;
        PurchaseJournal(dir.filePath(QStringLiteral("j.db"))).write(record, PurchaseState::Authorised);
        const Money journalled =
            PurchaseJournal(dir.filePath(QStringLiteral("j.db"))).entries().value(0).purchase.amount();
        QCOMPARE(journalled, money);
        QVERIFY(Ledger::isChargeMovement(DateTimeValue::fromDateTime(at), journalled, {{}, money, at}));
        receipt.takeMovement(movement);
        QVERIFY(receipt.text().contains(QRegularExpression(QStringLiteral("Valor creditado +") + text + u'\n')));
    }
};

QTEST_GUILESS_MAIN(TestMoney)
#include "tst_money.moc"
