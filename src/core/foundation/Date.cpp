#include "core/foundation/Date.h"
#include "core/foundation/ShortestDouble.h"

#include <QDateTime>
#include <QTimeZone>

#include <array>
#include <charconv>
#include <cmath>
#include <cstring>

namespace vantorel {

Date Date::fromQDateTime(const QDateTime& dateTime)
{
    return fromUnixSeconds(static_cast<double>(dateTime.toMSecsSinceEpoch()) / 1000.0);
}

Date Date::now()
{
    return fromQDateTime(QDateTime::currentDateTimeUtc());
}

bool Date::isFinite() const
{
    return std::isfinite(m_seconds);
}

Date Date::truncatedToWholeUnixSeconds() const
{
    if (!isFinite()) {
        return *this;
    }
    return fromUnixSeconds(std::floor(timeIntervalSince1970()));
}

QDateTime Date::toQDateTime() const
{
    if (!isFinite()) {
        return {};
    }
    const double ms = std::floor(timeIntervalSince1970() * 1000.0);
    // QDateTime covers a far wider range than any meaningful instant; guard the conversion only.
    if (std::fabs(ms) > 9.0e18) {
        return {};
    }
    return QDateTime::fromMSecsSinceEpoch(static_cast<qint64>(ms), QTimeZone::utc());
}

QString Date::iso8601() const
{
    if (!isFinite()) {
        return {};
    }
    const double whole = std::floor(timeIntervalSince1970());
    if (std::fabs(whole) > 9.0e15) {
        return {};
    }
    const auto seconds = static_cast<qint64>(whole);
    // Four-digit years are formatted by plain arithmetic: the diagnostics writer thread formats
    // times while the process exits, when Qt's calendar registry may already be gone.
    const qint64 days = seconds >= 0 ? seconds / 86400 : (seconds - 86399) / 86400;
    const qint64 secondOfDay = seconds - days * 86400;
    // Civil date from days since 1970-01-01 (proleptic Gregorian).
    const qint64 z = days + 719468;
    const qint64 era = (z >= 0 ? z : z - 146096) / 146097;
    const qint64 dayOfEra = z - era * 146097;
    const qint64 yearOfEra = (dayOfEra - dayOfEra / 1460 + dayOfEra / 36524 - dayOfEra / 146096) / 365;
    const qint64 dayOfYear = dayOfEra - (365 * yearOfEra + yearOfEra / 4 - yearOfEra / 100);
    const qint64 mp = (5 * dayOfYear + 2) / 153;
    const qint64 day = dayOfYear - (153 * mp + 2) / 5 + 1;
    const qint64 month = mp < 10 ? mp + 3 : mp - 9;
    const qint64 year = yearOfEra + era * 400 + (month <= 2 ? 1 : 0);
    if (year < 1 || year > 9999) {
        const QDateTime dt = QDateTime::fromSecsSinceEpoch(seconds, QTimeZone::utc());
        return dt.toString(QStringLiteral("yyyy-MM-ddTHH:mm:ss")) + QLatin1Char('Z');
    }
    char text[21];
    const auto put = [&text](int at, qint64 value, int width) {
        for (int i = width - 1; i >= 0; --i) {
            text[at + i] = static_cast<char>('0' + value % 10);
            value /= 10;
        }
    };
    put(0, year, 4);
    text[4] = '-';
    put(5, month, 2);
    text[7] = '-';
    put(8, day, 2);
    text[10] = 'T';
    put(11, secondOfDay / 3600, 2);
    text[13] = ':';
    put(14, secondOfDay / 60 % 60, 2);
    text[16] = ':';
    put(17, secondOfDay % 60, 2);
    text[19] = 'Z';
    text[20] = '\0';
    return QString::fromLatin1(text, 20);
}

namespace {

bool digits(QStringView text, qsizetype from, qsizetype count, int& out)
{
    if (from + count > text.size()) {
        return false;
    }
    int value = 0;
    for (qsizetype i = from; i < from + count; ++i) {
        const QChar c = text[i];
        if (c < QLatin1Char('0') || c > QLatin1Char('9')) {
            return false;
        }
        value = value * 10 + (c.unicode() - '0');
    }
    out = value;
    return true;
}

// Parses "YYYY-MM-DDTHH:MM:SS" then an optional fraction and a zone designator.
std::optional<Date> parseIso(QStringView text, bool lenient)
{
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (text.size() < 20 || !digits(text, 0, 4, year) || text[4] != QLatin1Char('-') || !digits(text, 5, 2, month)
        || text[7] != QLatin1Char('-') || !digits(text, 8, 2, day) || text[10] != QLatin1Char('T')
        || !digits(text, 11, 2, hour) || text[13] != QLatin1Char(':') || !digits(text, 14, 2, minute)
        || text[16] != QLatin1Char(':') || !digits(text, 17, 2, second)) {
        return std::nullopt;
    }
    if (month < 1 || month > 12 || day < 1 || day > 31 || hour > 23 || minute > 59 || second > 59) {
        return std::nullopt;
    }
    const QDate date(year, month, day);
    if (!date.isValid()) {
        return std::nullopt;
    }
    qsizetype pos = 19;
    double fraction = 0.0;
    if (lenient && pos < text.size() && text[pos] == QLatin1Char('.')) {
        ++pos;
        const qsizetype start = pos;
        double scale = 0.1;
        while (pos < text.size() && text[pos].isDigit() && text[pos].unicode() < 128) {
            fraction += (text[pos].unicode() - '0') * scale;
            scale /= 10.0;
            ++pos;
        }
        if (pos == start) {
            return std::nullopt;
        }
    }
    int offsetSeconds = 0;
    if (pos < text.size() && text[pos] == QLatin1Char('Z')) {
        ++pos;
    } else if (lenient && pos < text.size() && (text[pos] == QLatin1Char('+') || text[pos] == QLatin1Char('-'))) {
        const int sign = text[pos] == QLatin1Char('+') ? 1 : -1;
        ++pos;
        int oh = 0, om = 0;
        if (!digits(text, pos, 2, oh)) {
            return std::nullopt;
        }
        pos += 2;
        if (pos < text.size() && text[pos] == QLatin1Char(':')) {
            ++pos;
        }
        if (!digits(text, pos, 2, om)) {
            return std::nullopt;
        }
        pos += 2;
        if (oh > 23 || om > 59) {
            return std::nullopt;
        }
        offsetSeconds = sign * (oh * 3600 + om * 60);
    } else {
        return std::nullopt;
    }
    if (pos != text.size()) {
        return std::nullopt;
    }
    const qint64 days = QDate(1970, 1, 1).daysTo(date);
    const double unix = static_cast<double>(days) * 86400.0 + hour * 3600.0 + minute * 60.0 + second - offsetSeconds;
    return Date::fromUnixSeconds(unix + fraction);
}

} // namespace

std::optional<Date> Date::fromIso8601(QStringView text)
{
    return parseIso(text, false);
}

std::optional<Date> Date::fromIso8601Lenient(QStringView text)
{
    return parseIso(text, true);
}

namespace {

QString nonFinite(double value)
{
    if (std::isnan(value)) {
        return QStringLiteral("nan");
    }
    return value > 0 ? QStringLiteral("inf") : QStringLiteral("-inf");
}

char* fill(char* out, char ch, int count)
{
    std::memset(out, ch, static_cast<std::size_t>(count));
    return out + count;
}

char* copy(char* out, const char* from, int count)
{
    std::memcpy(out, from, static_cast<std::size_t>(count));
    return out + count;
}

// The shortest round-trip digits of a finite, non-zero value, written in fixed notation when
// 1e-4 <= |value| < 1e16 and with a two-digit-minimum exponent otherwise (as Swift switches).
// `forceFraction` adds ".0" to a whole number in fixed notation.
char* writeShortest(double value, bool forceFraction, char* out)
{
    char scientific[shortestDoubleCapacity];
    const char* end = std::to_chars(scientific, scientific + sizeof scientific, value, std::chars_format::scientific).ptr;
    const char* p = scientific;
    if (*p == '-') {
        *out++ = '-';
        ++p;
    }
    // Mantissa digits without the point, then the exponent after 'e'.
    char digits[shortestDoubleCapacity];
    int count = 0;
    for (; p != end && *p != 'e'; ++p) {
        if (*p != '.') {
            digits[count++] = *p;
        }
    }
    int exponent = 0;
    std::from_chars(p + (p[1] == '+' ? 2 : 1), end, exponent);
    while (count > 1 && digits[count - 1] == '0') {
        --count;
    }
    if (exponent >= -4 && exponent < 16) {
        const int whole = exponent + 1; // digits before the point
        if (whole <= 0) {
            out = copy(out, "0.", 2);
            out = fill(out, '0', -whole);
            return copy(out, digits, count);
        }
        if (whole >= count) {
            out = copy(out, digits, count);
            out = fill(out, '0', whole - count);
            return forceFraction ? copy(out, ".0", 2) : out;
        }
        out = copy(out, digits, whole);
        *out++ = '.';
        return copy(out, digits + whole, count - whole);
    }
    *out++ = digits[0];
    if (count > 1) {
        *out++ = '.';
        out = copy(out, digits + 1, count - 1);
    }
    *out++ = 'e';
    *out++ = exponent < 0 ? '-' : '+';
    const int magnitude = exponent < 0 ? -exponent : exponent;
    if (magnitude < 10) {
        *out++ = '0';
    }
    return std::to_chars(out, out + 4, magnitude).ptr;
}

QString latin1(const char* begin, const char* end)
{
    return QString::fromLatin1(begin, static_cast<qsizetype>(end - begin));
}

} // namespace

QString swiftDoubleDescription(double value)
{
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    if (value == 0.0) {
        return std::signbit(value) ? QStringLiteral("-0.0") : QStringLiteral("0.0");
    }
    char buffer[shortestDoubleCapacity];
    return latin1(buffer, writeShortest(value, true, buffer));
}

char* writeShortestDoubleText(double value, char* out)
{
    if (value == 0.0) {
        if (std::signbit(value)) {
            *out++ = '-';
        }
        *out++ = '0';
        return out;
    }
    return writeShortest(value, false, out);
}

QString shortestDoubleText(double value)
{
    if (!std::isfinite(value)) {
        return nonFinite(value);
    }
    char buffer[shortestDoubleCapacity];
    return latin1(buffer, writeShortestDoubleText(value, buffer));
}

} // namespace vantorel
