#include "core/foundation/SettingsValueCoding.h"

#include "core/foundation/Base64Text.h"
#include "core/foundation/Json.h"

#include <algorithm>
#include <cmath>
#include <string_view>

namespace vantorel {

namespace {

constexpr std::string_view typeKey = "type";
constexpr std::string_view valueKey = "value";

// JSON has no NaN or infinities, and -0.0 is written "-0", which reads back as the integer 0; such
// numbers are kept as their text so they survive a reload.
Json numberValue(double number)
{
    if (number == 0.0 && std::signbit(number)) {
        return "-0";
    }
    if (std::isfinite(number)) {
        return number;
    }
    return std::isnan(number) ? "nan" : (number > 0 ? "inf" : "-inf");
}

std::optional<double> numberFrom(const Json& value)
{
    if (value.is_number()) {
        return value.get<double>();
    }
    if (value.is_string()) {
        const auto& text = value.get_ref<const std::string&>();
        if (text == "nan") {
            return std::nan("");
        }
        if (text == "inf") {
            return HUGE_VAL;
        }
        if (text == "-inf") {
            return -HUGE_VAL;
        }
        if (text == "-0") {
            return -0.0;
        }
    }
    return std::nullopt;
}

struct Encoder
{
    Json operator()(bool value) const { return tagged("bool", value); }
    Json operator()(std::int64_t value) const { return tagged("integer", value); }
    Json operator()(double value) const { return tagged("double", numberValue(value)); }
    Json operator()(const QString& value) const { return tagged("string", json::str(value)); }
    Json operator()(const QByteArray& value) const { return tagged("data", value.toBase64().toStdString()); }
    Json operator()(Date value) const { return tagged("date", numberValue(value.timeIntervalSinceReferenceDate())); }
    Json operator()(const QStringList& value) const
    {
        Json list = Json::array();
        for (const QString& item : value) {
            list.push_back(json::str(item));
        }
        return tagged("stringList", std::move(list));
    }

    static Json tagged(const char* type, Json value)
    {
        return Json{{typeKey, type}, {valueKey, std::move(value)}};
    }
};

std::optional<QByteArray> dataFrom(const Json& value)
{
    if (!value.is_string()) {
        return std::nullopt;
    }
    // Decoded straight from the parsed text: the histories' text runs to megabytes.
    const auto& text = value.get_ref<const std::string&>();
    if (auto whole = Base64Text::decodeWhole(QByteArrayView(text.data(), qsizetype(text.size())))) {
        return whole;
    }
    auto decoded = QByteArray::fromBase64Encoding(QByteArray::fromRawData(text.data(), qsizetype(text.size())),
                                                  QByteArray::AbortOnBase64DecodingErrors);
    if (!decoded) {
        return std::nullopt;
    }
    return std::move(*decoded);
}

std::optional<QStringList> stringListFrom(const Json& value)
{
    if (!value.is_array()) {
        return std::nullopt;
    }
    QStringList list;
    list.reserve(static_cast<qsizetype>(value.size()));
    for (const Json& item : value) {
        if (!item.is_string()) {
            return std::nullopt;
        }
        list.append(json::qstr(item.get_ref<const std::string&>()));
    }
    return list;
}

// Walks JSON text that is known to parse, one byte at a time, skipping string literals whole.
class NegativeZeroScanner
{
public:
    explicit NegativeZeroScanner(QByteArrayView text)
        : m_text(text)
    {
    }

    std::unordered_set<std::string> run()
    {
        std::unordered_set<std::string> keys;
        std::string entryKey;
        int depth = 0;
        while (m_at < m_text.size()) {
            const char c = m_text[m_at];
            if (c == '"') {
                const QByteArrayView literal = skipString();
                if (!nextIs(':'))
                    continue;
                if (depth == 1) {
                    // A repeated key: the parser keeps its last entry, and so does this.
                    entryKey = decoded(literal);
                    keys.erase(entryKey);
                } else if (depth == 2 && decoded(literal) == valueKey) {
                    ++m_at;
                    if (negativeZeroFollows())
                        keys.insert(entryKey);
                    else
                        keys.erase(entryKey);
                }
                continue;
            }
            if (c == '{' || c == '[')
                ++depth;
            else if (c == '}' || c == ']')
                --depth;
            ++m_at;
        }
        return keys;
    }

private:
    // At an opening quote: the literal with its quotes, and the position after it.
    QByteArrayView skipString()
    {
        const qsizetype begin = m_at++;
        while (m_at < m_text.size() && m_text[m_at] != '"')
            m_at += m_text[m_at] == '\\' ? 2 : 1;
        ++m_at;
        return m_text.sliced(begin, std::min(m_at, m_text.size()) - begin);
    }

    void skipSpace()
    {
        while (m_at < m_text.size() && isOneOf(m_text[m_at], " \t\r\n"))
            ++m_at;
    }

    // Skips white space; whether `c` comes next.
    bool nextIs(char c)
    {
        skipSpace();
        return m_at < m_text.size() && m_text[m_at] == c;
    }

    // After a member's colon: whether its value is the number "-0" (not -0.5, -0e1 or -01).
    bool negativeZeroFollows()
    {
        skipSpace();
        if (m_text.sliced(m_at).startsWith("-0")) {
            m_at += 2;
            return m_at == m_text.size() || !isOneOf(m_text[m_at], "0123456789.eE");
        }
        return false;
    }

    static bool isOneOf(char c, std::string_view set) { return set.find(c) != std::string_view::npos; }

    // The text of a string literal; escapes are rare in keys, so only they go through the parser.
    static std::string decoded(QByteArrayView literal)
    {
        const QByteArrayView inside = literal.sliced(1, literal.size() - 2);
        if (!inside.contains('\\'))
            return std::string(inside.data(), std::size_t(inside.size()));
        const auto parsed = json::parse(literal.toByteArray());
        return parsed && parsed->is_string() ? parsed->get<std::string>() : std::string();
    }

    const QByteArrayView m_text;
    qsizetype m_at = 0;
};

} // namespace

Json SettingsValueCoding::encode(const Value& value)
{
    return std::visit(Encoder{}, value);
}

void SettingsValueCoding::appendData(QByteArray& out, QByteArrayView data)
{
    // The alphabet holds nothing that the store form escapes.
    out.append(R"({"type":"data","value":")");
    Base64Text::append(out, data);
    out.append(R"("})");
}

std::optional<SettingsStore::Value> SettingsValueCoding::decode(const Json& entry, bool spelledNegativeZero)
{
    const auto type = json::string(entry, typeKey);
    const Json* value = json::member(entry, valueKey);
    if (!type || !value) {
        return std::nullopt;
    }
    if (*type == u"bool") {
        return json::boolean(entry, valueKey);
    }
    if (*type == u"integer") {
        return json::integer(entry, valueKey);
    }
    if (*type == u"double") {
        if (spelledNegativeZero && readAsIntegerZero(entry))
            return -0.0;
        return numberFrom(*value);
    }
    if (*type == u"string") {
        return json::string(entry, valueKey);
    }
    if (*type == u"data") {
        return dataFrom(*value);
    }
    if (*type == u"date") {
        if (spelledNegativeZero && readAsIntegerZero(entry))
            return Date(-0.0);
        const auto seconds = numberFrom(*value);
        if (!seconds) {
            return std::nullopt;
        }
        return Date(*seconds);
    }
    if (*type == u"stringList") {
        return stringListFrom(*value);
    }
    return std::nullopt;
}

bool SettingsValueCoding::readAsIntegerZero(const Json& entry)
{
    const Json* value = json::member(entry, valueKey);
    const auto type = json::string(entry, typeKey);
    return value && (value->is_number_integer() || value->is_number_unsigned()) && value->get<std::int64_t>() == 0
        && (type == u"double" || type == u"date");
}

std::unordered_set<std::string> SettingsValueCoding::negativeZeroKeys(QByteArrayView text)
{
    return NegativeZeroScanner(text).run();
}

} // namespace vantorel
