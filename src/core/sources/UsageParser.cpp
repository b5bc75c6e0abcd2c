// Grammar of pasted usage text. The text is read line by line (at most maximumTextLength
// characters, lines longer than maximumLineLength skipped). Each line is first cleaned:
// full-width ASCII becomes ASCII, box-drawing and block characters (frames, gauge bars) become
// blanks, runs of white space collapse. Keywords are matched without regard to case.
//
//   line      := credits | header? rest
//   credits   := ("Credits" | "Credit balance" | "クレジット" ["残高"] | "残高") [":"] value
//                value holds a digit or "unlimited"/"無制限"; kept as typed
//   header    := five | weekly | ignored | label
//     five    := "5h" | "5hr" | "5-hour" | "5 hours" | "five hour" | "5時間" | "Current session"
//                | "現在のセッション"                                   (at the start of the line)
//     weekly  := "Weekly" | "Week" | "Current week" | "This week" | "7-day" | "seven days"
//                | "週間" | "週次" | "今週" | "現在の週"   (a weekly header naming Opus, Sonnet or
//                Haiku is a per-model window and counts as ignored)
//     ignored := "Extra usage" | "Usage credits" | "Claude Code and Cowork credit" | "追加使用"
//     label   := any other "word(s):" at the start of a line, e.g. "Model:", "Context window:",
//                unless the words name a reset ("Next reset:", "次回リセット:")
//   A header opens a section that lasts until the next header; the lines below it (Claude's
//   bar line, its "Resets" line, a Japanese "リセット:" line) belong to it.
//   percent   := [before] number "%" [after]            the first one on a line
//     before  := "残り" | "残量" | "残" | "使用率" | "使用済み" | "使用量" | "使用" | "used" | "left"
//                | "remaining"
//     after   := "left" | "remaining" | "used" | "残り" | "残" | "使用済み" | "使用" | "消費"
//     A "used" word (used, 使用…, 消費) means remaining = 100 − number; anything else, or no
//     word, means the number is what remains. Numbers outside 0...100 are ignored.
//   reset     := ("reset" | "resets" | "resetting" | "リセット") time-phrase
//                the phrase follows the keyword or, failing that, precedes it ("9:15にリセット")
//   time-phrase := relative | [date] [time] ["(" zone ")"]
//     relative := "in" [N "d"] [N "h"] [N "m"]  |  [N "日"] [N "時間"] [N "分"] "後"   (from now)
//     date    := YYYY/M/D | M月D日 | M/D | "Dec 12" ["," YYYY] | "12 Dec"  (month names in English, any length)
//     time    := H:MM [am|pm] | H am|pm | 午前/午後 H[:MM | 時[M分]] | H時[M分]
//     zone    := an IANA name such as "Asia/Tokyo", or "UTC"; otherwise the local zone
//   A time without a date is its next occurrence after now; a date without a year is the next
//   such day whose time lies after now; a date alone means its midnight.
// Values found first win; a percent or reset inside an ignored section, or before any header,
// is dropped (a lone reset time becomes the general reset time for parse()).

#include "core/sources/UsageParser.h"

#include <QDateTime>
#include <QRegularExpression>
#include <QStringList>

#include <algorithm>
#include <array>
#include <cerrno>
#include <clocale>
#include <cmath>
#include <cstdlib>
#include <locale.h>

namespace vantorel {

namespace {

enum class Section { none, fiveHour, weekly, ignored };

struct Reading
{
    std::optional<double> fiveHour;
    std::optional<double> weekly;
    std::optional<Date> fiveHourReset;
    std::optional<Date> weeklyReset;
    std::optional<Date> generalReset;
    std::optional<QString> credits;
};

QRegularExpression pattern(const char* text)
{
    // Without Unicode properties: \d stays ASCII, so every matched number reads back.
    return QRegularExpression(QString::fromUtf8(text), QRegularExpression::CaseInsensitiveOption);
}

// Full-width ASCII (U+FF01...U+FF5E) and the ideographic space become their ASCII forms.
QString halfWidth(const QString& text)
{
    QString result = text;
    for (QChar& c : result) {
        if (c.unicode() >= 0xFF01 && c.unicode() <= 0xFF5E)
            c = QChar(char16_t(c.unicode() - 0xFEE0));
        else if (c.unicode() == 0x3000)
            c = QLatin1Char(' ');
    }
    return result;
}

QString cleaned(const QString& line)
{
    QString result = halfWidth(line);
    for (QChar& c : result) {
        const char16_t u = c.unicode();
        // Box drawing, block elements, and the frame corners and bars the screens draw.
        if ((u >= 0x2500 && u <= 0x259F) || u == 0x2022 || u == 0x25CF || u == 0x25CB)
            c = QLatin1Char(' ');
    }
    return result.simplified();
}

struct Patterns
{
    QRegularExpression leading = pattern(R"(^[^\p{L}\p{N}]+)");
    QRegularExpression credits = pattern(R"(^(?:credit balance|credits?|クレジット(?:残高)?|残高)(?![a-z])\s*:?\s*(.+)$)");
    QRegularExpression fiveHour = pattern(
        R"(^(?:5\s*-?\s*h(?:ours?|rs?)?(?![a-z])|five[\s-]?hours?(?![a-z])|5\s*時間|current session|現在のセッション))");
    QRegularExpression weekly = pattern(
        R"(^(?:weekly|current week|this week|week(?![a-z])|7[\s-]?days?(?![a-z])|seven[\s-]?days?|1?\s*週間|週次|今週|現在の週))");
    QRegularExpression perModel = pattern(R"(opus|sonnet|haiku)");
    QRegularExpression ignored = pattern(R"(^(?:extra usage|usage credits|claude code and cowork credit|追加使用))");
    QRegularExpression label = pattern(R"(^[^\d:][^:]{0,40}:)");
    QRegularExpression resetStart = pattern(R"(^(?:resets?|resetting|リセット))");
    QRegularExpression percent = pattern(
        R"((?:(残り|残量|使用率|使用済み|使用量|使用|残|used|left|remaining)\s*:?\s*)?(?<![\d.])(\d{1,3}(?:\.\d+)?)\s*%(?:\s*(left|remaining|used|残り|使用済み|使用|消費|残))?)");
    QRegularExpression usedWord = pattern(R"(^(?:used|使用|消費))");
    QRegularExpression reset = pattern(R"(resets?|resetting|リセット)");
    QRegularExpression zone = pattern(R"(\(\s*([a-z]+(?:/[a-z0-9_+\-]+)+|utc|gmt)\s*\))");
    QRegularExpression relativeEnglish = pattern(
        R"(\bin\s+(?=\d)(?:(\d{1,4})\s*d(?:ays?)?\s*)?(?:(\d{1,4})\s*h(?:ours?|rs?)?\s*)?(?:(\d{1,5})\s*m(?:ins?|inutes?)?)?(?![a-z]))");
    QRegularExpression relativeJapanese = pattern(R"((?:(\d{1,4})日)?\s*(?:(\d{1,4})時間)?\s*(?:(\d{1,5})分)?\s*後)");
    QRegularExpression yearMonthDay = pattern(R"((\d{4})\s*[/\-.年]\s*(\d{1,2})\s*[/\-.月]\s*(\d{1,2})日?)");
    QRegularExpression japaneseMonthDay = pattern(R"((\d{1,2})\s*月\s*(\d{1,2})\s*日)");
    QRegularExpression slashMonthDay = pattern(R"((?<![\d:])(\d{1,2})/(\d{1,2})(?![\d/]))");
    QRegularExpression monthNameDay = pattern(
        R"(\b(jan|feb|mar|apr|may|jun|jul|aug|sep|oct|nov|dec)[a-z]*\.?\s+(\d{1,2})(?:st|nd|rd|th)?(?:,?\s+(\d{4}))?(?![\d:]))");
    QRegularExpression dayMonthName = pattern(
        R"((?<!\d)(\d{1,2})(?:st|nd|rd|th)?\s+(jan|feb|mar|apr|may|jun|jul|aug|sep|oct|nov|dec)[a-z]*)");
    QRegularExpression japaneseClock = pattern(R"((午前|午後)\s*(\d{1,2})(?::(\d{2})|時(?:\s*(\d{1,2})分)?))");
    QRegularExpression colonClock = pattern(R"((?<!\d)(\d{1,2}):(\d{2})(?:\s*([ap])\.?m\b\.?)?)");
    QRegularExpression meridiemClock = pattern(R"((?<!\d)(\d{1,2})\s*([ap])\.?m\b\.?)");
    QRegularExpression hourClock = pattern(R"((?<!\d)(\d{1,2})時(?!間)(?:\s*(\d{1,2})分)?)");
};

const Patterns& patterns()
{
    static const Patterns instance;
    return instance;
}

int monthNumber(const QString& name)
{
    static const std::array<const char*, 12> months{"jan", "feb", "mar", "apr", "may", "jun",
                                                    "jul", "aug", "sep", "oct", "nov", "dec"};
    const QString key = name.left(3).toLower();
    for (std::size_t i = 0; i < months.size(); ++i) {
        if (key == QLatin1String(months[i]))
            return int(i) + 1;
    }
    return 0;
}

struct DayOfYear
{
    std::optional<int> year;
    int month = 0;
    int day = 0;
};

// Finds a date in `text` and blanks it out, so the time search does not read its digits.
std::optional<DayOfYear> takeDate(QString& text)
{
    const Patterns& p = patterns();
    const auto blank = [&text](const QRegularExpressionMatch& match) {
        text.replace(match.capturedStart(), match.capturedLength(), QString(match.capturedLength(), QLatin1Char(' ')));
    };
    if (const auto m = p.yearMonthDay.match(text); m.hasMatch()) {
        blank(m);
        return DayOfYear{m.captured(1).toInt(), m.captured(2).toInt(), m.captured(3).toInt()};
    }
    for (const QRegularExpression* monthFirst : {&p.japaneseMonthDay, &p.slashMonthDay}) {
        if (const auto m = monthFirst->match(text); m.hasMatch()) {
            blank(m);
            return DayOfYear{std::nullopt, m.captured(1).toInt(), m.captured(2).toInt()};
        }
    }
    if (const auto m = p.monthNameDay.match(text); m.hasMatch()) {
        blank(m);
        const std::optional<int> year = m.hasCaptured(3) ? std::optional(m.captured(3).toInt()) : std::nullopt;
        return DayOfYear{year, monthNumber(m.captured(1)), m.captured(2).toInt()};
    }
    if (const auto m = p.dayMonthName.match(text); m.hasMatch()) {
        blank(m);
        return DayOfYear{std::nullopt, monthNumber(m.captured(2)), m.captured(1).toInt()};
    }
    return std::nullopt;
}

// Hour 1...12 with a morning/afternoon mark as a 24-hour hour; nullopt when out of range.
std::optional<int> twentyFourHour(int hour, std::optional<bool> afternoon)
{
    if (!afternoon)
        return hour >= 0 && hour <= 23 ? std::optional(hour) : std::nullopt;
    if (hour < 0 || hour > 12)
        return std::nullopt;
    return (hour % 12) + (*afternoon ? 12 : 0);
}

std::optional<QTime> findTime(const QString& text)
{
    const Patterns& p = patterns();
    std::optional<int> hour;
    int minute = 0;
    if (const auto m = p.japaneseClock.match(text); m.hasMatch()) {
        hour = twentyFourHour(m.captured(2).toInt(), m.captured(1) == QStringLiteral("午後"));
        minute = !m.captured(3).isEmpty() ? m.captured(3).toInt() : m.captured(4).toInt();
    } else if (const auto m = p.colonClock.match(text); m.hasMatch()) {
        const QString mark = m.captured(3).toLower();
        hour = twentyFourHour(m.captured(1).toInt(), mark.isEmpty() ? std::nullopt : std::optional(mark == "p"));
        minute = m.captured(2).toInt();
    } else if (const auto m = p.meridiemClock.match(text); m.hasMatch()) {
        hour = twentyFourHour(m.captured(1).toInt(), m.captured(2).toLower() == "p");
    } else if (const auto m = p.hourClock.match(text); m.hasMatch()) {
        hour = twentyFourHour(m.captured(1).toInt(), std::nullopt);
        minute = m.captured(2).toInt();
    }
    if (!hour || minute < 0 || minute > 59)
        return std::nullopt;
    return QTime(*hour, minute);
}

std::optional<double> relativeSeconds(const QString& text)
{
    const Patterns& p = patterns();
    for (const QRegularExpression* relative : {&p.relativeEnglish, &p.relativeJapanese}) {
        const auto m = relative->match(text);
        if (!m.hasMatch() || (m.captured(1).isEmpty() && m.captured(2).isEmpty() && m.captured(3).isEmpty()))
            continue;
        return m.captured(1).toDouble() * 86'400 + m.captured(2).toDouble() * 3'600 + m.captured(3).toDouble() * 60;
    }
    return std::nullopt;
}

// The instant a reset phrase names, resolved against `now`.
std::optional<Date> resolveResetTime(QString text, Date now, const QTimeZone& localZone)
{
    if (const auto seconds = relativeSeconds(text))
        return now + *seconds;
    QTimeZone zone = localZone;
    if (const auto m = patterns().zone.match(text); m.hasMatch()) {
        const QString id = m.captured(1);
        const bool utc = id.compare(QStringLiteral("utc"), Qt::CaseInsensitive) == 0
            || id.compare(QStringLiteral("gmt"), Qt::CaseInsensitive) == 0;
        const QTimeZone named(utc ? QByteArray("UTC") : id.toUtf8());
        if (named.isValid())
            zone = named;
        text.remove(m.capturedStart(), m.capturedLength());
    }
    const auto date = takeDate(text);
    const auto time = findTime(text);
    if (!date && !time)
        return std::nullopt;
    const QDateTime current = now.toQDateTime().toTimeZone(zone);
    if (!current.isValid())
        return std::nullopt;
    const QTime clock = time.value_or(QTime(0, 0));
    const auto instant = [&](QDate day) -> std::optional<Date> {
        if (!day.isValid())
            return std::nullopt;
        const QDateTime moment(day, clock, zone);
        return moment.isValid() ? std::optional(Date::fromQDateTime(moment)) : std::nullopt;
    };
    if (date && date->year)
        return instant(QDate(*date->year, date->month, date->day));
    if (date) {
        // The next such day: this year, or a later one (29 February waits for a leap year).
        for (int year = current.date().year(); year <= current.date().year() + 4; ++year) {
            if (const auto candidate = instant(QDate(year, date->month, date->day)); candidate && *candidate > now)
                return candidate;
        }
        return std::nullopt;
    }
    for (int days = 0; days <= 1; ++days) {
        if (const auto candidate = instant(current.date().addDays(days)); candidate && *candidate > now)
            return candidate;
    }
    return instant(current.date().addDays(2));
}

struct PercentFound
{
    double remaining;
    qsizetype end;
};

std::optional<PercentFound> findPercent(const QString& line)
{
    const Patterns& p = patterns();
    auto matches = p.percent.globalMatch(line);
    while (matches.hasNext()) {
        const auto m = matches.next();
        bool ok = false;
        const double number = m.captured(2).toDouble(&ok);
        if (!ok || number < 0 || number > 100)
            continue;
        const QString word = !m.captured(3).isEmpty() ? m.captured(3) : m.captured(1);
        const bool used = p.usedWord.match(word).hasMatch();
        return PercentFound{used ? 100.0 - number : number, m.capturedEnd()};
    }
    return std::nullopt;
}

Reading read(const QString& pasted, Date now, const QTimeZone& localZone)
{
    const Patterns& p = patterns();
    Reading reading;
    Section section = Section::none;
    const QStringList lines = pasted.left(UsageParser::maximumTextLength).split(QRegularExpression(QStringLiteral("\r\n|\r|\n")));
    for (const QString& raw : lines) {
        if (raw.size() > UsageParser::maximumLineLength)
            continue;
        QString line = cleaned(raw);
        line.remove(p.leading);
        if (line.isEmpty())
            continue;

        if (const auto m = p.credits.match(line); m.hasMatch()) {
            const QString value = m.captured(1).trimmed();
            const bool meaningful = value.contains(QRegularExpression(QStringLiteral("\\d")))
                || value.contains(QStringLiteral("unlimited"), Qt::CaseInsensitive) || value.contains(QStringLiteral("無制限"));
            if (meaningful && value.size() <= 100 && !reading.credits)
                reading.credits = value;
            continue;
        }

        qsizetype headerEnd = 0;
        if (const auto m = p.fiveHour.match(line); m.hasMatch()) {
            section = Section::fiveHour;
            headerEnd = m.capturedEnd();
        } else if (const auto w = p.weekly.match(line); w.hasMatch()) {
            const bool allModels = line.contains(QStringLiteral("all models"), Qt::CaseInsensitive)
                || line.contains(QStringLiteral("全モデル"));
            section = p.perModel.match(line).hasMatch() && !allModels ? Section::ignored : Section::weekly;
            headerEnd = w.capturedEnd();
        } else if (p.ignored.match(line).hasMatch()) {
            section = Section::ignored;
        } else if (!p.resetStart.match(line).hasMatch()) {
            if (const auto l = p.label.match(line); l.hasMatch() && !p.reset.match(l.captured()).hasMatch()) {
                section = Section::ignored;
                headerEnd = l.capturedEnd();
            }
        }

        const auto percent = findPercent(line.mid(headerEnd));
        if (percent) {
            auto& slot = section == Section::fiveHour ? reading.fiveHour : reading.weekly;
            if ((section == Section::fiveHour || section == Section::weekly) && !slot)
                slot = percent->remaining;
        }

        const auto keyword = p.reset.match(line, headerEnd);
        if (!keyword.hasMatch())
            continue;
        auto resetAt = resolveResetTime(line.mid(keyword.capturedEnd()), now, localZone);
        if (!resetAt) {
            const qsizetype from = headerEnd + (percent ? percent->end : 0);
            if (from < keyword.capturedStart())
                resetAt = resolveResetTime(line.mid(from, keyword.capturedStart() - from), now, localZone);
        }
        if (!resetAt)
            continue;
        auto& slot = section == Section::fiveHour ? reading.fiveHourReset
            : section == Section::weekly          ? reading.weeklyReset
                                                  : reading.generalReset;
        if (section != Section::ignored && !slot)
            slot = resetAt;
    }
    return reading;
}

UsageSnapshot pastedSnapshot(const Reading& reading, Date now)
{
    UsageSnapshot snapshot;
    snapshot.source = UsageSource::pasted;
    snapshot.updatedAt = now;
    snapshot.fiveHourRemainingPercent = reading.fiveHour;
    snapshot.weeklyRemainingPercent = reading.weekly;
    snapshot.fiveHourResetAt = reading.fiveHourReset;
    snapshot.weeklyResetAt = reading.weeklyReset;
    snapshot.creditsRemaining = reading.credits;
    return snapshot;
}

// strtod in the C locale, whatever locale the application set, over the whole text.
std::optional<double> cLocaleNumber(const QString& text)
{
    static const locale_t cLocale = newlocale(LC_ALL_MASK, "C", locale_t(nullptr));
    const QByteArray bytes = text.toUtf8();
    if (bytes.isEmpty() || !cLocale)
        return std::nullopt;
    char* end = nullptr;
    const double value = strtod_l(bytes.constData(), &end, cLocale);
    if (end != bytes.constData() + bytes.size())
        return std::nullopt;
    return value;
}

// nullopt: refused; an empty optional inside: blank, no value.
std::optional<std::optional<double>> manualPercent(const QString& typed)
{
    if (typed.trimmed().isEmpty())
        return std::optional<double>();
    QString text = halfWidth(typed).trimmed();
    if (text.endsWith(QLatin1Char('%')))
        text.chop(1);
    const auto number = cLocaleNumber(text.trimmed());
    if (!number || !std::isfinite(*number) || *number < 0.0 || *number > 100.0)
        return std::nullopt;
    return std::optional<double>(std::clamp(*number, 0.0, 100.0));
}

} // namespace

std::optional<UsageSnapshot> UsageParser::parseCodex(const QString& text, Date now, const QTimeZone& localZone)
{
    UsageSnapshot snapshot = pastedSnapshot(read(text, now, localZone), now);
    if (!snapshot.hasAnyValue())
        return std::nullopt;
    snapshot.codexPeriodValidationVersion = 1;
    return snapshot;
}

std::optional<UsageSnapshot> UsageParser::parse(const QString& text, Date now, const QTimeZone& localZone)
{
    const Reading reading = read(text, now, localZone);
    UsageSnapshot snapshot = pastedSnapshot(reading, now);
    snapshot.resetAt = reading.generalReset;
    if (!snapshot.hasAnyValue())
        return std::nullopt;
    return snapshot;
}

std::optional<UsageSnapshot> UsageParser::validatedManualSnapshot(const QString& fiveHourText, const QString& weeklyText,
                                                                  const QString& creditsText, std::optional<Date> resetAt,
                                                                  Date now)
{
    const auto fiveHour = manualPercent(fiveHourText);
    const auto weekly = manualPercent(weeklyText);
    if (!fiveHour || !weekly)
        return std::nullopt;
    UsageSnapshot snapshot;
    snapshot.source = UsageSource::manual;
    snapshot.updatedAt = now;
    snapshot.fiveHourRemainingPercent = *fiveHour;
    snapshot.weeklyRemainingPercent = *weekly;
    const QString credits = creditsText.trimmed();
    if (!credits.isEmpty())
        snapshot.creditsRemaining = credits;
    snapshot.resetAt = resetAt;
    if (!snapshot.hasAnyValue())
        return std::nullopt;
    return snapshot;
}

} // namespace vantorel
