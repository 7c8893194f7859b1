#include "SimulatedTerminal.h"

#include "CardNumberMask.h"
#include "Clock.h"
#include "DurableFile.h"
#include "HostConfig.h"
#include "TerminalLogging.h"

#include <QEventLoop>
#include <QFile>
#include <QFileInfo>
#include <QJsonObject>
#include <QTimer>
#include <cmath>

namespace
{
const QString isoFormat = QStringLiteral("yyyy-MM-ddTHH:mm:ss.zzz");

QJsonObject lineOf(const SimulatedTerminal::Transaction& t)
{
    return QJsonObject{{QStringLiteral("nsu"), t.nsu},
                       {QStringLiteral("state"), terminalStateName(t.state)},
                       {QStringLiteral("amount"), t.amount},
                       {QStringLiteral("card"), t.cardNumber},
                       {QStringLiteral("description"), t.description},
                       {QStringLiteral("text"), t.text},
                       {QStringLiteral("at"), t.changedAt.toString(isoFormat)}};
}

// Folds the file's lines: the last line of an NSU gives its state.
QList<SimulatedTerminal::Transaction> fold(const QByteArray& content, const QString& file)
{
    int skipped = 0;
    QList<SimulatedTerminal::Transaction> list;
    for (const QJsonObject& o : DurableFile::parseJsonLines(content, &skipped)) {
        const QString nsu = o.value(QStringLiteral("nsu")).toString();
        const auto state = terminalStateFromName(o.value(QStringLiteral("state")).toString());
        if (nsu.isEmpty() || !state) {
            ++skipped;
            continue;
        }
        auto it = std::find_if(list.begin(), list.end(), [&](const auto& t) { return t.nsu == nsu; });
        if (it == list.end())
            it = list.insert(list.end(), SimulatedTerminal::Transaction{});
        it->nsu = nsu;
        it->state = *state;
        if (o.contains(QStringLiteral("amount")))
            it->amount = o.value(QStringLiteral("amount")).toDouble();
        if (o.contains(QStringLiteral("card")))
            it->cardNumber = o.value(QStringLiteral("card")).toString();
        if (o.contains(QStringLiteral("description")))
            it->description = o.value(QStringLiteral("description")).toString();
        it->text = o.value(QStringLiteral("text")).toString();
        it->changedAt = QDateTime::fromString(o.value(QStringLiteral("at")).toString(), isoFormat);
    }
    if (skipped > 0)
        qCWarning(lcTerminal) << file << ": skipped" << skipped << "unreadable line(s)";
    return list;
}

// NSUs are unique per card-payment server; several kiosks each simulating their own
// server must not hand out the same numbers on a shared store. The first three of
// the twelve digits come from the transactions file's place (one per kiosk), the
// other nine count up.
qint64 nsuBase(const QString& file)
{
    const QString place = QFileInfo(file).absoluteFilePath();
    return qint64(100 + qHash(place, 0) % 900) * 1000000000LL;
}

QString nextNsu(const QList<SimulatedTerminal::Transaction>& list, const QString& file)
{
    qint64 highest = nsuBase(file);
    for (const auto& t : list)
        highest = std::max(highest, t.nsu.toLongLong());
    return QStringLiteral("%1").arg(highest + 1, 12, 10, QLatin1Char('0'));
}
} // namespace

SimulatedTerminal::SimulatedTerminal(TerminalSettings settings, QString file, Sleeper sleeper)
    : m_settings(std::move(settings)), m_file(std::move(file)),
      m_sleeper(sleeper ? std::move(sleeper) : Sleeper(&SimulatedTerminal::sleepProcessingEvents))
{
}

QString SimulatedTerminal::defaultFile()
{
    const HostConfig& config = HostConfig::instance();
    if (!config.terminal().transactionsFile.isEmpty())
        return config.terminal().transactionsFile;
    return config.programFolder() + QStringLiteral("/terminal-transactions.jsonl");
}

void SimulatedTerminal::sleepProcessingEvents(int ms)
{
    if (ms <= 0)
        return;
    QEventLoop loop;
    QTimer::singleShot(ms, &loop, &QEventLoop::quit);
    loop.exec();
}

TerminalAnswer SimulatedTerminal::authorise(const TerminalRequest& request)
{
    // The card holder's time is spent at the terminal's two prompts, half at each.
    display(QStringLiteral("Insira ou aproxime o cartão"));
    m_sleeper(m_settings.delayMs / 2);
    TerminalAnswer answer;
    if (m_settings.mode == QLatin1String("fail")) {
        answer.resultCode = -5;
        answer.text = m_settings.errorText;
        display(answer.text);
        qCWarning(lcTerminal) << "terminal failure:" << answer.text;
        return answer;
    }
    display(QStringLiteral("Digite a senha"));
    m_sleeper(m_settings.delayMs - m_settings.delayMs / 2);

    LockedFile file(m_file);
    Transaction t;
    t.nsu = nextNsu(fold(file.readAll(), m_file), m_file);
    t.amount = request.amount;
    t.cardNumber = CardNumberMask::mask(m_settings.cardNumber);
    t.description = request.description;
    t.changedAt = Clock::instance().now();
    if (m_settings.mode == QLatin1String("decline") || !std::isfinite(request.amount) || request.amount <= 0) {
        t.state = TerminalState::Declined;
        t.text = m_settings.mode == QLatin1String("decline") ? QStringLiteral("Transação negada")
                                                             : QStringLiteral("Valor inválido");
        file.appendJson(lineOf(t));
        answer.resultCode = 5;
        answer.text = t.text;
        display(t.text);
        qCInfo(lcTerminal) << "transaction" << t.nsu << "declined:" << t.text;
        return answer;
    }
    t.state = TerminalState::Pending;
    file.appendJson(lineOf(t));
    answer.approved = true;
    answer.nsu = t.nsu;
    answer.cardNumber = m_settings.cardNumber;
    answer.bankCode = m_settings.bankCode;
    answer.authorisation = t.nsu.right(6);
    answer.network = QStringLiteral("SIMULADOR");
    display(QStringLiteral("Transação aprovada"));
    qCInfo(lcTerminal) << "transaction" << t.nsu << "approved, pending, card" << t.cardNumber;
    return answer;
}

void SimulatedTerminal::settle(const QString& nsu, TerminalState to)
{
    LockedFile file(m_file);
    const auto list = fold(file.readAll(), m_file);
    const auto it = std::find_if(list.begin(), list.end(), [&](const auto& t) { return t.nsu == nsu; });
    if (it == list.end())
        throw TerminalError(QStringLiteral("Transação %1 desconhecida").arg(nsu));
    if (it->state == to)
        return; // a repeated confirm or undo changes nothing
    if (it->state != TerminalState::Pending)
        throw TerminalError(QStringLiteral("Transação %1 já está %2; não pode ficar %3")
                                .arg(nsu, terminalStateName(it->state), terminalStateName(to)));
    Transaction t = *it;
    t.state = to;
    t.text.clear();
    t.changedAt = Clock::instance().now();
    file.appendJson(lineOf(t));
    qCInfo(lcTerminal) << "transaction" << nsu << terminalStateName(to);
}

void SimulatedTerminal::confirm(const QString& nsu)
{
    settle(nsu, TerminalState::Confirmed);
}

void SimulatedTerminal::undo(const QString& nsu)
{
    settle(nsu, TerminalState::Undone);
}

std::optional<TerminalState> SimulatedTerminal::status(const QString& nsu)
{
    for (const Transaction& t : transactions()) {
        if (t.nsu == nsu)
            return t.state;
    }
    return std::nullopt;
}

QList<SimulatedTerminal::Transaction> SimulatedTerminal::transactions() const
{
    if (!QFile::exists(m_file))
        return {};
    LockedFile file(m_file);
    return fold(file.readAll(), m_file);
}
