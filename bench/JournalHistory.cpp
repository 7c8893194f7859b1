// Gives a kiosk's data folder a history: COUNT settled purchases in its purchase journal
// and as many confirmed transactions in the stand-in card-payment library's file, as months of a busy
// kiosk would leave them, one every SPACING seconds (137 by default) from 2026-06-01 07:00.
// For the journal benchmark (./bench.sh --journal) and, with a day's worth, the reconciliation's.
#include "DateTimeValue.h"
#include "PurchaseJournal.h"
#include "RecSaldoDataSets.h"
#include "StandInTransactions.h"

#include <QCoreApplication>
#include <cstdio>

int main(int argc, char* argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    bool ok = false;
    const int count = args.size() >= 3 ? args[2].toInt(&ok) : 0;
    bool spacingOk = true;
    const int spacing = args.size() == 4 ? args[3].toInt(&spacingOk) : 137;
    if (!ok || count < 0 || !spacingOk || spacing < 1 || args.size() > 4) {
        std::fprintf(stderr, "usage: kiosk-journal-history DATA-FOLDER COUNT [SPACING-SECONDS]\n");
        return 2;
    }
    const QString data = args[1];
    const QDateTime start(QDate(2026, 6, 1), QTime(7, 0));
    QList<JournalEntry> purchases;
    QList<StandInTransactions::Transaction> transactions;
    const QList<FieldDef> fields = RecSaldoDataSets::movCaixaFields();
    auto field = [&](const char* name) { return DataPacket(fields).fieldIndex(QString::fromLatin1(name)); };
    for (int i = 0; i < count; ++i) {
        const QDateTime at = start.addSecs(qint64(i) * spacing);
        const QString nsu = QStringLiteral("%1").arg(500000000000LL + i, 12, 10, QLatin1Char('0'));
        JournalEntry e;
        e.state = PurchaseState::Confirmed;
        e.at = at;
        PurchaseRecord& p = e.purchase;
        p.id = PurchaseRecord::newId();
        p.nsu = nsu;
        p.CDFILIAL = QStringLiteral("0001");
        p.CDCAIXA = QStringLiteral("001");
        p.CDCLIENTE = QStringLiteral("000000000000001");
        p.CDCONSUMIDOR = QStringLiteral("000000000000101");
        p.CDFAMILISALD = QStringLiteral("001");
        p.NRDEPOSICONS = at.toString(QStringLiteral("yyMMddHHmm"));
        p.NRCOODOCNFIS = QStringLiteral("%1").arg(i + 1, 6, 10, QLatin1Char('0'));
        p.NRGNFDOCNFIS = p.NRCOODOCNFIS;
        p.receiptPort = QStringLiteral("COM1");
        p.DTABERCAIX = DateTimeValue::fromDateTime(QDateTime(at.date(), QTime(6, 0)));
        p.DTMOVIDOCNFIS = DateTimeValue::fromDate(at.date());
        p.packet = DataPacket(fields);
        QVariantList row(fields.size());
        row[field("CDFILIAL")] = p.CDFILIAL;
        row[field("IDTIPOMOVIVE")] = QStringLiteral("E");
        row[field("DTHRINCMOV")] = DateTimeValue::fromDateTime(at);
        row[field("CDTIPORECE")] = QStringLiteral("010");
        row[field("NMTIPORECE")] = QStringLiteral("Cartão de crédito");
        row[field("IDTIPORECE")] = QStringLiteral("1");
        row[field("VRMOVIVEND")] = 10.0 + i % 90;
        row[field("CDCLIENTE")] = p.CDCLIENTE;
        row[field("DTMOVIMCAIXA")] = DateTimeValue::fromDate(at.date());
        row[field("DSIMPFISCAL")] = QStringLiteral("CARTAO CREDITO");
        row[field("CDFPIMPFIS")] = QStringLiteral("05");
        row[field("NRCARTBANCO")] = QStringLiteral("4111**1111");
        row[field("CDNSUHOSTTEF")] = nsu;
        p.packet.appendRow(row);
        purchases.append(e);
        StandInTransactions::Transaction t;
        t.nsu = nsu;
        t.state = TerminalState::Confirmed;
        t.amount = 10.0 + i % 90;
        t.cardNumber = QStringLiteral("4111**1111");
        t.description = QStringLiteral("[Compra de Créd,00000000,1,10,00]");
        t.changedAt = at;
        transactions.append(t);
    }
    PurchaseJournal(data + QStringLiteral("/purchase-journal.db")).importEntries(purchases);
    StandInTransactions(TerminalSettings(), data + QStringLiteral("/terminal-transactions.db"))
        .importTransactions(transactions);
    std::printf("history: %d settled purchase(s) and terminal transaction(s) in %s\n", count, qPrintable(data));
    return 0;
}
