#pragma once

#include "HostExport.h"

#include <QString>
#include <QStringView>
#include <QtGlobal>

#include <compare>
#include <optional>

// An amount of money in whole cents, from the keypad to the terminal, the packet, the journal
// and the receipt. Sums and comparisons are exact; a binary amount (what a database driver, a
// packet or an older journal gives) becomes cents in one place only: fromUnits().
class HOST_EXPORT Money
{
public:
    // The largest amount a NUMERIC(15,2) store column holds: 9999999999999.99.
    static constexpr qint64 maxCents = 999'999'999'999'999;

    constexpr Money() = default;
    static constexpr Money fromCents(qint64 cents) { return Money(cents); }
    constexpr qint64 cents() const { return m_cents; }

    // The keypad's digits, the last two the cents ("2500" is 25,00, nothing typed is 0); it
    // stops at the first character that is not a digit. Nothing when beyond maxCents.
    static std::optional<Money> fromDigits(QStringView digits);
    // The one rounding of a binary amount in currency units: written with 15 significant
    // digits (what the amount was meant to be: 2.675 for binary 2.67499999...), then rounded
    // to cents half away from zero. Nothing for a value that is not finite or beyond maxCents.
    static std::optional<Money> fromUnits(double units);
    // fromUnits() that throws KioskError for what it refuses; `what` names the value in the text.
    static Money fromUnits(double units, const QString& what);
    // A decimal text as it is written: an optional minus, digits, and at most two decimals after
    // `separator` ("25", "-0,5", "1234,56"). Exact; nothing for any other text or beyond maxCents.
    static std::optional<Money> parse(QStringView text, QChar separator = QLatin1Char('.'));

    // The amount in currency units, for a driver, a packet or a terminal that takes a number.
    constexpr double units() const { return double(m_cents) / 100.0; }
    // "###0.00": at least one integer digit, no grouping, a leading minus.
    QString text(QChar separator = QLatin1Char('.')) const;
    constexpr bool fitsStore() const { return m_cents >= -maxCents && m_cents <= maxCents; }

    friend constexpr bool operator==(Money, Money) = default;
    friend constexpr std::strong_ordering operator<=>(Money, Money) = default;
    friend constexpr Money operator+(Money a, Money b) { return Money(a.m_cents + b.m_cents); }
    friend constexpr Money operator-(Money a, Money b) { return Money(a.m_cents - b.m_cents); }
    constexpr Money operator-() const { return Money(-m_cents); }
    constexpr Money& operator+=(Money other) { return *this = *this + other; }
    constexpr Money& operator-=(Money other) { return *this = *this - other; }

private:
    constexpr explicit Money(qint64 cents) : m_cents(cents) {}
    qint64 m_cents = 0;
};
