#include "core/foundation/Json.h"
#include "core/foundation/JsonArrayElements.h"

#include "core/foundation/ShortestDouble.h"
#include "core/foundation/UuidText.h"

#include <algorithm>
#include <array>
#include <charconv>
#include <cmath>
#include <cstring>
#include <functional>
#include <limits>
#include <optional>
#include <vector>

namespace vantorel::json {

namespace {

using SortedJson = nlohmann::json;

class NestingTooDeep
{
};

// Builds the document as nlohmann's own parser does, refusing it once arrays and objects nest
// deeper than the bound.
class BoundedDomParser : public nlohmann::detail::json_sax_dom_parser<SortedJson>
{
    using Base = nlohmann::detail::json_sax_dom_parser<SortedJson>;

public:
    // `depth` counts the arrays and objects that enclose the value being built.
    BoundedDomParser(SortedJson& result, std::size_t depth = 0)
        : Base(result, true)
        , m_depth(depth)
    {
    }

    bool start_object(std::size_t elements)
    {
        enter();
        return Base::start_object(elements);
    }
    bool end_object()
    {
        --m_depth;
        return Base::end_object();
    }
    bool start_array(std::size_t elements)
    {
        enter();
        return Base::start_array(elements);
    }
    bool end_array()
    {
        --m_depth;
        return Base::end_array();
    }

private:
    void enter()
    {
        if (++m_depth > maximumNestingDepth)
            throw NestingTooDeep();
    }

    std::size_t m_depth = 0;
};

// The sorted map finds keys in logarithmic time while parsing; the result is then moved into the
// insertion-ordered form (keys unique and already in byte order), at most maximumNestingDepth deep.
Json ordered(SortedJson&& value)
{
    switch (value.type()) {
    case SortedJson::value_t::object: {
        Json object = Json::object();
        auto& members = object.get_ref<Json::object_t&>();
        members.reserve(value.size());
        for (auto it = value.begin(); it != value.end(); ++it)
            members.emplace_back(it.key(), ordered(std::move(it.value())));
        return object;
    }
    case SortedJson::value_t::array: {
        Json array = Json::array();
        auto& elements = array.get_ref<Json::array_t&>();
        elements.reserve(value.size());
        for (SortedJson& element : value)
            elements.push_back(ordered(std::move(element)));
        return array;
    }
    case SortedJson::value_t::string:
        return Json(std::move(value.get_ref<std::string&>()));
    case SortedJson::value_t::boolean:
        return Json(value.get<bool>());
    case SortedJson::value_t::number_integer:
        return Json(value.get<std::int64_t>());
    case SortedJson::value_t::number_unsigned:
        return Json(value.get<std::uint64_t>());
    case SortedJson::value_t::number_float:
        return Json(value.get<double>());
    case SortedJson::value_t::null:
    case SortedJson::value_t::binary:
    case SortedJson::value_t::discarded:
        break;
    }
    return Json();
}

// Hands each element of a top-level array to the callback once it is complete and then drops
// it, so that at most one element's tree exists at a time. Anything but an array stops the parse.
class ArrayElementParser
{
public:
    using number_integer_t = SortedJson::number_integer_t;
    using number_unsigned_t = SortedJson::number_unsigned_t;
    using number_float_t = SortedJson::number_float_t;
    using string_t = SortedJson::string_t;
    using binary_t = SortedJson::binary_t;

    explicit ArrayElementParser(const std::function<void(const Json&)>& element)
        : m_element(element)
    {
    }

    bool null() { return m_dom ? m_dom->null() : scalar(nullptr); }
    bool boolean(bool value) { return m_dom ? m_dom->boolean(value) : scalar(value); }
    bool number_integer(number_integer_t value) { return m_dom ? m_dom->number_integer(value) : scalar(value); }
    bool number_unsigned(number_unsigned_t value) { return m_dom ? m_dom->number_unsigned(value) : scalar(value); }
    bool number_float(number_float_t value, const string_t& text)
    {
        return m_dom ? m_dom->number_float(value, text) : scalar(value);
    }
    bool string(string_t& value) { return m_dom ? m_dom->string(value) : scalar(std::move(value)); }
    bool binary(binary_t& value) { return m_dom ? m_dom->binary(value) : scalar(std::move(value)); }
    bool key(string_t& value) { return m_dom && m_dom->key(value); }
    bool start_object(std::size_t elements)
    {
        if (!m_inArray)
            return false;
        ++m_open;
        openElement();
        return m_dom->start_object(elements);
    }
    bool end_object()
    {
        const bool ok = m_dom && m_dom->end_object();
        closeContainer();
        return ok;
    }
    bool start_array(std::size_t elements)
    {
        if (!m_inArray && !m_finished && !m_dom) {
            m_inArray = true;
            return true;
        }
        if (!m_inArray)
            return false;
        ++m_open;
        openElement();
        return m_dom->start_array(elements);
    }
    bool end_array()
    {
        if (!m_dom) {
            m_inArray = false;
            m_finished = true;
            return true;
        }
        const bool ok = m_dom->end_array();
        closeContainer();
        return ok;
    }
    bool parse_error(std::size_t, const std::string&, const nlohmann::detail::exception&) { return false; }

private:
    // A whole element that is not an array or object; anything outside the array stops the parse.
    template <typename Value>
    bool scalar(Value&& value)
    {
        if (!m_inArray)
            return false;
        m_element(ordered(SortedJson(std::forward<Value>(value))));
        return true;
    }
    void openElement()
    {
        if (!m_dom) {
            m_tree = SortedJson();
            m_dom.emplace(m_tree, 1);
        }
    }
    void closeContainer()
    {
        if (--m_open == 0 && m_dom) {
            m_dom.reset();
            m_element(ordered(std::move(m_tree)));
            m_tree = SortedJson();
        }
    }

    const std::function<void(const Json&)>& m_element;
    SortedJson m_tree;
    std::optional<BoundedDomParser> m_dom;
    std::size_t m_open = 0;
    bool m_inArray = false;
    bool m_finished = false;
};

// nlohmann's lexer takes a string one character at a time, many times slower than copying it,
// which made the settings file's base64 histories the slowest part of reading it. String literals
// this long that hold only printable ASCII without a backslash stand for themselves: they are cut
// out of the text before parsing and given back as the parser meets them.
constexpr std::ptrdiff_t longStringLength = 1024;

struct LongStrings
{
    // The text with each cut literal left as "".
    QByteArray text;
    // Which string literals (keys and values, counted in text order) were cut, with their content.
    std::vector<std::pair<std::size_t, std::string_view>> cuts;
};

bool standsForItself(const char* begin, const char* end)
{
    return std::all_of(begin, end, [](char c) { return c >= 0x20 && c <= 0x7e && c != '\\'; });
}

// Nothing cut when the text has no such literal or its quotes do not pair up (the parser then
// reports the fault on the text as it is).
LongStrings cutLongStrings(const QByteArray& bytes)
{
    LongStrings found;
    const char* const end = bytes.constEnd();
    const char* copied = bytes.constBegin();
    const char* position = bytes.constBegin();
    std::size_t literal = 0;
    while (const auto* open = static_cast<const char*>(std::memchr(position, '"', std::size_t(end - position)))) {
        const char* contentBegin = open + 1;
        const char* search = contentBegin;
        const char* close = nullptr;
        bool escaped = false;
        while (search < end) {
            const auto* quote = static_cast<const char*>(std::memchr(search, '"', std::size_t(end - search)));
            if (!quote)
                break;
            const auto* backslash = static_cast<const char*>(std::memchr(search, '\\', std::size_t(quote - search)));
            if (!backslash) {
                close = quote;
                break;
            }
            escaped = true;
            search = backslash + 2;
        }
        if (!close)
            return {};
        if (!escaped && close - contentBegin >= longStringLength && standsForItself(contentBegin, close)) {
            found.text.append(copied, contentBegin - copied);
            found.cuts.emplace_back(literal, std::string_view(contentBegin, std::size_t(close - contentBegin)));
            copied = close;
        }
        ++literal;
        position = close + 1;
    }
    if (!found.cuts.empty())
        found.text.append(copied, end - copied);
    return found;
}

// Puts the cut literals back as the parser reports them.
class UncuttingDomParser : public BoundedDomParser
{
public:
    UncuttingDomParser(SortedJson& result, const std::vector<std::pair<std::size_t, std::string_view>>& cuts)
        : BoundedDomParser(result)
        , m_cuts(cuts)
    {
    }

    bool key(string_t& value) { return BoundedDomParser::key(restored(value)); }
    bool string(string_t& value) { return BoundedDomParser::string(restored(value)); }

private:
    string_t& restored(string_t& value)
    {
        if (m_next < m_cuts.size() && m_cuts[m_next].first == m_literal) {
            value.assign(m_cuts[m_next].second);
            ++m_next;
        }
        ++m_literal;
        return value;
    }

    const std::vector<std::pair<std::size_t, std::string_view>>& m_cuts;
    std::size_t m_literal = 0;
    std::size_t m_next = 0;
};

// Throws nlohmann's parse error, or NestingTooDeep.
Json parseBounded(const QByteArray& bytes)
{
    SortedJson document;
    const LongStrings longStrings = cutLongStrings(bytes);
    if (longStrings.cuts.empty()) {
        BoundedDomParser handler(document);
        SortedJson::sax_parse(bytes.constBegin(), bytes.constEnd(), &handler);
        return ordered(std::move(document));
    }
    try {
        UncuttingDomParser handler(document, longStrings.cuts);
        SortedJson::sax_parse(longStrings.text.constBegin(), longStrings.text.constEnd(), &handler);
    } catch (const SortedJson::exception&) {
        // The same fault, reported at its place in the text as given.
        document = SortedJson();
        BoundedDomParser handler(document);
        SortedJson::sax_parse(bytes.constBegin(), bytes.constEnd(), &handler);
    }
    return ordered(std::move(document));
}

} // namespace

std::optional<Json> parse(const QByteArray& bytes)
{
    try {
        return parseBounded(bytes);
    } catch (const NestingTooDeep&) {
    } catch (const SortedJson::exception&) {
    }
    return std::nullopt;
}

bool parseArrayElements(const QByteArray& bytes, const std::function<void(const Json&)>& element)
{
    try {
        ArrayElementParser handler(element);
        return SortedJson::sax_parse(bytes.constBegin(), bytes.constEnd(), &handler);
    } catch (const NestingTooDeep&) {
    } catch (const SortedJson::exception&) {
    }
    return false;
}

Json parseOrThrow(const QByteArray& bytes)
{
    try {
        return parseBounded(bytes);
    } catch (const NestingTooDeep&) {
        throw JsonDecodeError("nested deeper than " + std::to_string(maximumNestingDepth) + " levels");
    } catch (const SortedJson::exception& error) {
        throw JsonDecodeError(error.what());
    }
}

const Json* member(const Json& object, std::string_view key)
{
    if (!object.is_object()) {
        return nullptr;
    }
    const auto it = object.find(key);
    if (it == object.end() || it->is_null()) {
        return nullptr;
    }
    return &*it;
}

FieldState stringState(const Json& object, std::string_view key)
{
    if (!object.is_object()) {
        return FieldState::absent;
    }
    const auto it = object.find(key);
    if (it == object.end()) {
        return FieldState::absent;
    }
    if (it->is_null()) {
        return FieldState::null;
    }
    return it->is_string() ? FieldState::present : FieldState::wrongType;
}

std::optional<QString> string(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_string()) {
        return std::nullopt;
    }
    return QString::fromStdString(value->get_ref<const std::string&>());
}

std::optional<bool> boolean(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_boolean()) {
        return std::nullopt;
    }
    return value->get<bool>();
}

std::optional<double> number(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value || !value->is_number()) {
        return std::nullopt;
    }
    return value->get<double>();
}

std::optional<std::int64_t> integer(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (value->is_number_integer() && !value->is_number_unsigned()) {
        return value->get<std::int64_t>();
    }
    if (value->is_number_unsigned()) {
        const auto u = value->get<std::uint64_t>();
        if (u > static_cast<std::uint64_t>(std::numeric_limits<std::int64_t>::max())) {
            return std::nullopt;
        }
        return static_cast<std::int64_t>(u);
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        // 2^63 is exactly representable; anything at or above it does not fit.
        if (std::isfinite(d) && std::trunc(d) == d && d >= -9223372036854775808.0 && d < 9223372036854775808.0) {
            return static_cast<std::int64_t>(d);
        }
    }
    return std::nullopt;
}

std::optional<std::uint64_t> unsignedInteger(const Json& object, std::string_view key)
{
    const Json* value = member(object, key);
    if (!value) {
        return std::nullopt;
    }
    if (value->is_number_unsigned()) {
        return value->get<std::uint64_t>();
    }
    if (value->is_number_integer()) {
        const auto i = value->get<std::int64_t>();
        if (i < 0) {
            return std::nullopt;
        }
        return static_cast<std::uint64_t>(i);
    }
    if (value->is_number_float()) {
        const double d = value->get<double>();
        if (std::isfinite(d) && std::trunc(d) == d && d >= 0.0 && d < 18446744073709551616.0) {
            return static_cast<std::uint64_t>(d);
        }
    }
    return std::nullopt;
}

std::optional<Date> storeDate(const Json& object, std::string_view key)
{
    const auto seconds = number(object, key);
    if (!seconds) {
        return std::nullopt;
    }
    return Date(*seconds);
}

std::optional<Date> isoDate(const Json& object, std::string_view key)
{
    const auto text = string(object, key);
    if (!text) {
        return std::nullopt;
    }
    return Date::fromIso8601Lenient(*text);
}

std::optional<QUuid> uuid(const Json& object, std::string_view key)
{
    const auto text = string(object, key);
    if (!text) {
        return std::nullopt;
    }
    return parseUuid(*text);
}

Json storeDateValue(Date date)
{
    return date.timeIntervalSinceReferenceDate();
}

Json isoDateValue(Date date)
{
    if (!date.isFinite()) {
        throw JsonEncodeError("date is not finite");
    }
    return date.iso8601().toStdString();
}

Json uuidValue(const QUuid& value)
{
    return uuidText(value).toStdString();
}

namespace {

// Appends into a buffer it grows itself, so the hot path is a bounds check and a copy, without
// QByteArray's per-call sharing checks.
class Output
{
public:
    explicit Output(qsizetype expectedSize)
    {
        m_bytes.resize(std::max<qsizetype>(expectedSize, 64));
        m_data = m_bytes.data();
    }

    void append(const char* data, qsizetype size)
    {
        reserveMore(size);
        std::memcpy(m_data + m_size, data, static_cast<std::size_t>(size));
        m_size += size;
    }
    void append(std::string_view text) { append(text.data(), static_cast<qsizetype>(text.size())); }
    void append(char ch)
    {
        reserveMore(1);
        m_data[m_size++] = ch;
    }
    // Room for `size` more bytes written through end() and committed with advance().
    char* end(qsizetype size)
    {
        reserveMore(size);
        return m_data + m_size;
    }
    void advance(const char* newEnd) { m_size = newEnd - m_data; }

    // Without the growth slack: texts are often kept (stored values, encodings reused later), and
    // doubling leaves up to half of the buffer unused. Shrinking is done in place by the allocator.
    QByteArray take() &&
    {
        m_bytes.truncate(m_size);
        if (m_bytes.capacity() - m_size > maximumSlack) {
            m_bytes.squeeze();
        }
        return std::move(m_bytes);
    }

private:
    void reserveMore(qsizetype size)
    {
        if (m_size + size > m_bytes.size()) {
            m_bytes.resize(std::max(m_bytes.size() * 2, m_size + size));
            m_data = m_bytes.data();
        }
    }

    static constexpr qsizetype maximumSlack = 32;

    QByteArray m_bytes;
    char* m_data = nullptr;
    qsizetype m_size = 0;
};

// Which bytes a string must escape: the control characters, '"' and '\\' always, '/' in the sync
// form.
struct EscapeTable
{
    constexpr explicit EscapeTable(bool slash)
    {
        for (int c = 0; c < 0x20; ++c)
            escaped[c] = true;
        escaped[static_cast<unsigned char>('"')] = true;
        escaped[static_cast<unsigned char>('\\')] = true;
        escaped[static_cast<unsigned char>('/')] = slash;
    }
    bool escaped[256] = {};
};

constexpr EscapeTable storeEscapes(false);
constexpr EscapeTable syncEscapes(true);

void writeEscape(Output& out, unsigned char c)
{
    static constexpr char hex[] = "0123456789abcdef";
    switch (c) {
    case '"':
        out.append("\\\"");
        break;
    case '\\':
        out.append("\\\\");
        break;
    case '/':
        out.append("\\/");
        break;
    case '\b':
        out.append("\\b");
        break;
    case '\f':
        out.append("\\f");
        break;
    case '\n':
        out.append("\\n");
        break;
    case '\r':
        out.append("\\r");
        break;
    case '\t':
        out.append("\\t");
        break;
    default: {
        const char code[] = {'\\', 'u', '0', '0', hex[c >> 4], hex[c & 0xF]};
        out.append(code, sizeof code);
    }
    }
}

// Copies each run of bytes that need no escape in one go.
void writeString(Output& out, std::string_view text, Form form)
{
    const bool* escaped = (form == Form::sync ? syncEscapes : storeEscapes).escaped;
    out.append('"');
    const char* run = text.data();
    const char* const end = run + text.size();
    for (const char* p = run; p != end; ++p) {
        const auto c = static_cast<unsigned char>(*p);
        if (escaped[c]) {
            out.append(run, p - run);
            writeEscape(out, c);
            run = p + 1;
        }
    }
    out.append(run, end - run);
    out.append('"');
}

template<typename Int>
void writeInteger(Output& out, Int value)
{
    constexpr qsizetype room = 24;
    char* begin = out.end(room);
    out.advance(std::to_chars(begin, begin + room, value).ptr);
}

void writeValue(Output& out, const Json& value, Form form)
{
    switch (value.type()) {
    case Json::value_t::null:
        out.append("null");
        break;
    case Json::value_t::boolean:
        out.append(value.get<bool>() ? std::string_view("true") : std::string_view("false"));
        break;
    case Json::value_t::number_integer:
        writeInteger(out, value.get<std::int64_t>());
        break;
    case Json::value_t::number_unsigned:
        writeInteger(out, value.get<std::uint64_t>());
        break;
    case Json::value_t::number_float: {
        const double d = value.get<double>();
        if (!std::isfinite(d)) {
            throw JsonEncodeError("number is not finite");
        }
        out.advance(writeShortestDoubleText(d, out.end(shortestDoubleCapacity)));
        break;
    }
    case Json::value_t::string:
        writeString(out, value.get_ref<const std::string&>(), form);
        break;
    case Json::value_t::array: {
        out.append('[');
        bool first = true;
        for (const Json& element : value) {
            if (!first) {
                out.append(',');
            }
            first = false;
            writeValue(out, element, form);
        }
        out.append(']');
        break;
    }
    case Json::value_t::object: {
        out.append('{');
        auto member = [&out, form, first = true](const std::string& key, const Json& element) mutable {
            if (!first)
                out.append(',');
            first = false;
            writeString(out, key, form);
            out.append(':');
            writeValue(out, element, form);
        };
        const auto& members = value.get_ref<const Json::object_t&>();
        if (form == Form::store) {
            for (const auto& [key, element] : members)
                member(key, element);
        } else {
            // Most objects are small: sort pointers in a buffer on the stack rather than the heap.
            using Entry = const Json::object_t::value_type*;
            constexpr std::size_t onStack = 32;
            std::array<Entry, onStack> small;
            std::vector<Entry> large;
            Entry* sorted = small.data();
            if (members.size() > onStack) {
                large.resize(members.size());
                sorted = large.data();
            }
            std::size_t count = 0;
            for (const auto& entry : members)
                sorted[count++] = &entry;
            std::sort(sorted, sorted + count, [](Entry a, Entry b) { return a->first < b->first; });
            for (std::size_t i = 0; i < count; ++i)
                member(sorted[i]->first, sorted[i]->second);
        }
        out.append('}');
        break;
    }
    case Json::value_t::binary:
    case Json::value_t::discarded:
        throw JsonEncodeError("value has no JSON form");
    }
}

} // namespace

QByteArray write(const Json& value, Form form)
{
    Output out(0);
    writeValue(out, value, form);
    return std::move(out).take();
}

} // namespace vantorel::json
