#pragma once

#include <QString>

#include <compare>
#include <optional>

class QDateTime;

namespace vantorel {

// An instant as seconds since 2001-01-01T00:00:00Z, held as a double so that it can carry NaN
// and infinities the way stored and received values may.
class Date
{
public:
    static constexpr double unixOffset = 978'307'200.0;

    constexpr Date() = default;
    constexpr explicit Date(double secondsSinceReferenceDate)
        : m_seconds(secondsSinceReferenceDate)
    {
    }

    static constexpr Date fromReferenceSeconds(double seconds) { return Date(seconds); }
    static constexpr Date fromUnixSeconds(double seconds) { return Date(seconds - unixOffset); }
    static Date fromQDateTime(const QDateTime& dateTime);
    // The current wall-clock time; code that decides anything takes an injected clock instead.
    static Date now();
    // Far-away instants used as "never" (same values as the platform's distant past/future).
    static constexpr Date distantPast() { return Date(-63'114'076'800.0); }
    static constexpr Date distantFuture() { return Date(63'113'904'000.0); }

    constexpr double timeIntervalSinceReferenceDate() const { return m_seconds; }
    constexpr double timeIntervalSince1970() const { return m_seconds + unixOffset; }
    constexpr double timeIntervalSince(Date other) const { return m_seconds - other.m_seconds; }
    constexpr Date addingTimeInterval(double seconds) const { return Date(m_seconds + seconds); }
    bool isFinite() const;

    // Whole Unix seconds, rounded toward negative infinity (what a whole-second clock shows).
    Date truncatedToWholeUnixSeconds() const;

    // UTC, millisecond precision; invalid for non-finite dates.
    QDateTime toQDateTime() const;

    // "2026-03-01T08:15:00Z": UTC, whole seconds (the fraction is dropped); empty if not finite.
    QString iso8601() const;
    // Strict: exactly "YYYY-MM-DDTHH:MM:SSZ".
    static std::optional<Date> fromIso8601(QStringView text);
    // Also accepts a fractional second and a numeric offset ("+09:00", "-0500") instead of "Z".
    static std::optional<Date> fromIso8601Lenient(QStringView text);

    constexpr Date operator+(double seconds) const { return Date(m_seconds + seconds); }
    constexpr Date operator-(double seconds) const { return Date(m_seconds - seconds); }
    constexpr double operator-(Date other) const { return m_seconds - other.m_seconds; }
    Date& operator+=(double seconds)
    {
        m_seconds += seconds;
        return *this;
    }

    constexpr bool operator==(const Date&) const = default;
    constexpr std::partial_ordering operator<=>(const Date& other) const { return m_seconds <=> other.m_seconds; }

private:
    double m_seconds = 0.0;
};

// The shortest text that reads back as the same double, always with a fraction or an exponent,
// as Swift prints a Double: 1772323200.0, 12.5, 1e-05, 1e+16, nan, inf, -inf.
QString swiftDoubleDescription(double value);

// The shortest round-trip text of a double without a needless ".0": 42, 0.1, 1e+16.
// Non-finite values give "nan", "inf", "-inf"; callers that must refuse them check first.
QString shortestDoubleText(double value);

} // namespace vantorel
