#include "DailyReconciliation.h"

#include "DateTimeValue.h"
#include "PurchaseJournal.h"
#include "ServerModule.h"
#include "TerminalTransactionsFile.h"
#include "SqlQuery.h"
#include "StatementFile.h"

#include <QFileInfo>
#include <QHash>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>

#include <algorithm>

namespace DailyReconciliation
{
namespace
{
QString money(Money amount)
{
    return amount.text();
}

QList<StoreCredit> storeCredits(SqlConnection& store, const QString& branch, const QString& till, QDate day)
{
    ServerModule::initResources();
    SqlQuery q(QStringLiteral("adqCreditosCaixa"), &store);
    q.setStatement(StatementFile::load(QStringLiteral(":/sql/adqCreditosCaixa.sql")));
    q.paramByName(QStringLiteral("P_CDFILIAL")).setAsString(branch);
    q.paramByName(QStringLiteral("P_CDCAIXA")).setAsString(till);
    q.paramByName(QStringLiteral("P_DTDE")).setAsDateTime(DateTimeValue::fromDate(day.addDays(-1)));
    q.paramByName(QStringLiteral("P_DTATE")).setAsDateTime(DateTimeValue::fromDate(day.addDays(2)));
    q.open();
    QList<StoreCredit> out;
    for (q.first(); !q.eof(); q.next()) {
        const auto f = [&](const char* name) { return q.fieldByName(QString::fromLatin1(name)); };
        StoreCredit c;
        c.client = f("CDCLIENTE").asString();
        c.consumer = f("CDCONSUMIDOR").asString();
        c.family = f("CDFAMILISALD").asString();
        const double lineTime = f("DTMOVEXTCONS").asDateTime();
        c.line = DateTimeValue::toIsoText(lineTime) + QLatin1Char('/') + f("NRSEQMOVEXT").asString();
        c.lineAmount = Money::fromUnits(f("VRMOVEXTCONS").asFloat(), QStringLiteral("VRMOVEXTCONS"));
        c.hasMovement = !f("NRSEQUMOVI").isNull();
        c.movement = c.hasMovement ? f("NRSEQUMOVI").asString() : f("NRSEQMOVCAIXA").asString();
        c.nsu = f("CDNSUHOSTTEF").asString();
        c.movementAmount = Money::fromUnits(f("VRMOVIVEND").asFloat(), QStringLiteral("VRMOVIVEND"));
        c.reversed = !f("NRSEQUMOVIESTORNO").isNull();
        c.day = DateTimeValue::toDateTime(c.hasMovement ? f("DTMOVIMCAIXA").asDateTime() : lineTime).date();
        out << c;
    }
    return out;
}

// The terminal's confirmed transactions of the three days, with the family from the journal;
// a purchase the journal holds as confirmed counts too when the terminal does not list it (a
// terminal without a list of its own).
QList<CardPayment> cardPayments(const QString& branch, const QString& till, QDate day, const QString& terminalFile,
                                const QString& journalFile)
{
    const auto near = [&](const QDate& d) { return d >= day.addDays(-1) && d <= day.addDays(1); };
    QHash<QString, JournalEntry> journal;
    if (QFileInfo::exists(journalFile))
        for (const JournalEntry& e : PurchaseJournal(journalFile).entries())
            if (e.purchase.CDFILIAL == branch && e.purchase.CDCAIXA == till && !e.purchase.nsu.isEmpty() &&
                near(e.at.date()))
                journal.insert(e.purchase.nsu, e);
    QList<CardPayment> out;
    QSet<QString> seen;
    if (QFileInfo::exists(terminalFile)) {
        const TerminalTransactionsFile terminal(terminalFile);
        for (const TerminalTransactionsFile::Transaction& t : terminal.transactions()) {
            seen.insert(t.nsu); // the terminal's word on it stands over the journal's
            if (t.state == TerminalState::Confirmed && near(t.changedAt.date()))
                out << CardPayment{t.nsu, Money::fromUnits(t.amount, QStringLiteral("the amount of NSU ") + t.nsu),
                                   journal.value(t.nsu).purchase.CDFAMILISALD, t.changedAt.date()};
        }
    }
    for (const JournalEntry& e : std::as_const(journal))
        if (e.state == PurchaseState::Confirmed && !seen.contains(e.purchase.nsu))
            out << CardPayment{e.purchase.nsu, e.purchase.amount(), e.purchase.CDFAMILISALD, e.at.date()};
    return out;
}
} // namespace

QString kindName(Kind kind)
{
    switch (kind) {
    case Kind::CreditWithoutPayment:
        return QStringLiteral("credit-without-payment");
    case Kind::PaymentWithoutCredit:
        return QStringLiteral("payment-without-credit");
    case Kind::AmountMismatch:
        return QStringLiteral("amount-mismatch");
    case Kind::FamilyMismatch:
        return QStringLiteral("family-mismatch");
    case Kind::LineWithoutMovement:
        return QStringLiteral("line-without-movement");
    }
    return QString();
}

QString Finding::text() const
{
    const QString who = QStringLiteral("consumer %1 (client %2), family %3, line %4")
                            .arg(credit.consumer, credit.client, credit.family, credit.line);
    switch (kind) {
    case Kind::CreditWithoutPayment:
        return QStringLiteral("credit without payment: NSU %1, %2, amount %3")
            .arg(nsu, who, money(credit.movementAmount));
    case Kind::PaymentWithoutCredit:
        return QStringLiteral("payment without credit: NSU %1 of %2, amount %3%4")
            .arg(nsu, payment.day.toString(Qt::ISODate), money(payment.amount),
                 payment.family.isEmpty() ? QString() : QStringLiteral(", family ") + payment.family);
    case Kind::AmountMismatch:
        return QStringLiteral("amount mismatch: NSU %1, %2: paid %3, movement %4, line %5")
            .arg(nsu, who, money(payment.amount), money(credit.movementAmount), money(credit.lineAmount));
    case Kind::FamilyMismatch:
        return QStringLiteral("family mismatch: NSU %1, %2: the consumer chose family %3")
            .arg(nsu, who, payment.family);
    case Kind::LineWithoutMovement:
        return QStringLiteral("credit line with no cash movement: %1, amount %2, movement %3 not in the store")
            .arg(who, money(credit.lineAmount), credit.movement.isEmpty() ? QStringLiteral("(none)") : credit.movement);
    }
    return QString();
}

QList<Finding> match(const QList<StoreCredit>& credits, const QList<CardPayment>& payments, QDate day)
{
    QList<Finding> out;
    QMultiHash<QString, StoreCredit> creditsByNsu;
    QHash<QString, CardPayment> paymentsByNsu;
    QStringList nsus; // of the day, in the order met
    QSet<QString> taken;
    const auto take = [&](const QString& nsu, const QDate& d) {
        if (d == day && !taken.contains(nsu)) {
            taken.insert(nsu);
            nsus << nsu;
        }
    };
    for (const StoreCredit& c : credits) {
        if (!c.hasMovement) {
            if (c.day == day)
                out << Finding{Kind::LineWithoutMovement, QString(), c, {}};
            continue;
        }
        if (c.reversed)
            continue; // the credit and its reversal cancel out; the terminal undid the card
        creditsByNsu.insert(c.nsu, c);
        take(c.nsu, c.day);
    }
    for (const CardPayment& p : payments) {
        paymentsByNsu.insert(p.nsu, p);
        take(p.nsu, p.day);
    }
    for (const QString& nsu : std::as_const(nsus)) {
        QList<StoreCredit> held = creditsByNsu.values(nsu);
        std::reverse(held.begin(), held.end()); // in the order the store listed them
        const auto paid = paymentsByNsu.constFind(nsu);
        if (paid == paymentsByNsu.constEnd()) {
            for (const StoreCredit& c : held)
                out << Finding{Kind::CreditWithoutPayment, nsu, c, {}};
            continue;
        }
        if (held.isEmpty()) {
            out << Finding{Kind::PaymentWithoutCredit, nsu, {}, *paid};
            continue;
        }
        const StoreCredit& c = held.first();
        if (c.movementAmount != paid->amount || c.lineAmount != paid->amount)
            out << Finding{Kind::AmountMismatch, nsu, c, *paid};
        if (!paid->family.isEmpty() && paid->family != c.family)
            out << Finding{Kind::FamilyMismatch, nsu, c, *paid};
        // One card transaction pays for one credit: any further line is unpaid.
        for (qsizetype i = 1; i < held.size(); ++i)
            out << Finding{Kind::CreditWithoutPayment, nsu, held[i], {}};
    }
    return out;
}

Report run(SqlConnection& store, const QString& branch, const QString& till, QDate day, const QString& terminalFile,
           const QString& journalFile)
{
    Report r{branch, till, day, 0, 0, {}};
    const QList<StoreCredit> credits = storeCredits(store, branch, till, day);
    const QList<CardPayment> payments = cardPayments(branch, till, day, terminalFile, journalFile);
    for (const StoreCredit& c : credits)
        r.credits += c.day == day ? 1 : 0;
    for (const CardPayment& p : payments)
        r.payments += p.day == day ? 1 : 0;
    r.findings = match(credits, payments, day);
    return r;
}

QString Report::text() const
{
    QString out = QStringLiteral("till %1 of branch %2 on %3: %4 credit line(s), %5 confirmed card transaction(s)\n")
                      .arg(till, branch, day.toString(Qt::ISODate))
                      .arg(credits)
                      .arg(payments);
    for (const Finding& f : findings)
        out += f.text() + QLatin1Char('\n');
    out += agrees() ? QStringLiteral("all agree\n") : QStringLiteral("%1 disagreement(s)\n").arg(findings.size());
    return out;
}

QByteArray Report::json() const
{
    QJsonArray list;
    for (const Finding& f : findings) {
        QJsonObject o{{QStringLiteral("kind"), kindName(f.kind)}, {QStringLiteral("text"), f.text()}};
        if (!f.nsu.isEmpty())
            o.insert(QStringLiteral("nsu"), f.nsu);
        if (f.kind != Kind::PaymentWithoutCredit)
            o.insert(QStringLiteral("credit"),
                     QJsonObject{{QStringLiteral("client"), f.credit.client},
                                 {QStringLiteral("consumer"), f.credit.consumer},
                                 {QStringLiteral("family"), f.credit.family},
                                 {QStringLiteral("line"), f.credit.line},
                                 {QStringLiteral("lineAmount"), f.credit.lineAmount.units()},
                                 {QStringLiteral("movement"), f.credit.movement},
                                 {QStringLiteral("movementAmount"), f.credit.movementAmount.units()}});
        if (f.kind != Kind::CreditWithoutPayment && f.kind != Kind::LineWithoutMovement)
            o.insert(QStringLiteral("payment"),
                     QJsonObject{{QStringLiteral("amount"), f.payment.amount.units()},
                                 {QStringLiteral("family"), f.payment.family},
                                 {QStringLiteral("day"), f.payment.day.toString(Qt::ISODate)}});
        list.append(o);
    }
    const QJsonObject root{{QStringLiteral("branch"), branch},
                           {QStringLiteral("till"), till},
                           {QStringLiteral("date"), day.toString(Qt::ISODate)},
                           {QStringLiteral("credits"), credits},
                           {QStringLiteral("payments"), payments},
                           {QStringLiteral("agree"), agrees()},
                           {QStringLiteral("findings"), list}};
    return QJsonDocument(root).toJson(QJsonDocument::Compact) + '\n';
}
} // namespace DailyReconciliation
