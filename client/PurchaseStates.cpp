#include "PurchaseStates.h"

#include <QMetaEnum>

namespace PurchaseStates
{
namespace
{
using S = State;
constexpr int stateCount = int(S::Declined) + 1;

// Row: from; columns: to. Settlement may step back from an in-flight state to Authorised
// (paid, open: "the store could not say, try again later") or jump to an end it has
// verified with the terminal and the store.
struct Table {
    bool cell[stateCount][stateCount] = {};
    void allow(S from, std::initializer_list<S> to)
    {
        for (S t : to)
            cell[int(from)][int(t)] = true;
    }
    Table()
    {
        allow(S::Ordered, {S::Ordered, S::Charging, S::Authorised, S::Declined, S::Undone});
        allow(S::Charging, {S::Charging, S::Authorised, S::Declined, S::Undone});
        allow(S::Authorised, {S::Authorised, S::Printed, S::Recording, S::Recorded, S::Undoing, S::Undone});
        allow(S::Printed, {S::Printed, S::Authorised, S::Recording, S::Recorded, S::Undoing, S::Undone});
        allow(S::Recording, {S::Recording, S::Authorised, S::Recorded, S::Undoing, S::Undone});
        allow(S::Recorded, {S::Recorded, S::Confirming, S::Confirmed, S::Undone});
        allow(S::Confirming, {S::Confirming, S::Recorded, S::Confirmed});
        allow(S::Undoing, {S::Undoing, S::Authorised, S::Recorded, S::Undone});
    }
};
const Table table;
} // namespace

bool allowed(State from, State to)
{
    return table.cell[int(from)][int(to)];
}

bool finished(State state)
{
    return state == S::Confirmed || state == S::Undone || state == S::Declined;
}

bool paid(State state)
{
    return !finished(state) && int(state) >= int(S::Authorised);
}

QString name(State state)
{
    if (state == S::Authorised)
        return QStringLiteral("authorised");
    return QString::fromLatin1(QMetaEnum::fromType<State>().valueToKey(int(state))).toLower();
}

std::optional<State> fromName(const QString& text)
{
    for (int i = 0; i < stateCount; ++i)
        if (name(State(i)) == text)
            return State(i);
    return std::nullopt;
}
} // namespace PurchaseStates
