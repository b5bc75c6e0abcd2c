#include "core/foundation/Base64Text.h"

#include <array>
#include <cstdint>
#include <cstring>

namespace vantorel {

namespace {

constexpr char base64Alphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr unsigned char notBase64 = 0x80;

// Each byte's six bits in the standard alphabet, notBase64 for every other byte.
constexpr std::array<unsigned char, 256> base64Values = [] {
    std::array<unsigned char, 256> values{};
    values.fill(notBase64);
    for (unsigned char i = 0; i < 64; ++i) {
        values[static_cast<unsigned char>(base64Alphabet[i])] = i;
    }
    return values;
}();

// The two Base64 characters of each 12 bits: half the lookups of one character at a time.
constexpr auto base64Pairs = [] {
    std::array<std::array<char, 2>, 4096> pairs{};
    for (std::size_t bits = 0; bits < pairs.size(); ++bits)
        pairs[bits] = {base64Alphabet[bits >> 6], base64Alphabet[bits & 63]};
    return pairs;
}();

} // namespace

void Base64Text::append(QByteArray& out, QByteArrayView data)
{
    const qsizetype start = out.size();
    out.resize(start + (data.size() + 2) / 3 * 4);
    char* o = out.data() + start;
    const auto* in = reinterpret_cast<const unsigned char*>(data.data());
    const qsizetype whole = data.size() - data.size() % 3;
    for (qsizetype i = 0; i < whole; i += 3) {
        const unsigned bits = unsigned(in[i]) << 16 | unsigned(in[i + 1]) << 8 | in[i + 2];
        std::memcpy(o, base64Pairs[bits >> 12].data(), 2);
        std::memcpy(o + 2, base64Pairs[bits & 4095].data(), 2);
        o += 4;
    }
    if (const qsizetype left = data.size() - whole; left > 0) {
        const unsigned bits = unsigned(in[whole]) << 16 | (left == 2 ? unsigned(in[whole + 1]) << 8 : 0u);
        o[0] = base64Alphabet[bits >> 18];
        o[1] = base64Alphabet[(bits >> 12) & 63];
        o[2] = left == 2 ? base64Alphabet[(bits >> 6) & 63] : '=';
        o[3] = '=';
    }
}

std::optional<QByteArray> Base64Text::decodeWhole(QByteArrayView text)
{
    if (text.isEmpty() || text.size() % 4 != 0) {
        return std::nullopt;
    }
    const qsizetype padding = text.endsWith("==") ? 2 : text.endsWith('=') ? 1 : 0;
    QByteArray bytes(text.size() / 4 * 3 - padding, Qt::Uninitialized);
    const auto* in = reinterpret_cast<const unsigned char*>(text.data());
    auto* out = reinterpret_cast<unsigned char*>(bytes.data());
    unsigned char seen = 0;
    const qsizetype wholeGroups = text.size() / 4 - (padding ? 1 : 0);
    for (qsizetype group = 0; group < wholeGroups; ++group, in += 4, out += 3) {
        const unsigned char a = base64Values[in[0]], b = base64Values[in[1]], c = base64Values[in[2]], d = base64Values[in[3]];
        seen |= a | b | c | d;
        const std::uint32_t bits = std::uint32_t(a) << 18 | std::uint32_t(b) << 12 | std::uint32_t(c) << 6 | d;
        out[0] = static_cast<unsigned char>(bits >> 16);
        out[1] = static_cast<unsigned char>(bits >> 8);
        out[2] = static_cast<unsigned char>(bits);
    }
    if (padding) {
        const unsigned char a = base64Values[in[0]], b = base64Values[in[1]];
        const unsigned char c = padding == 1 ? base64Values[in[2]] : 0;
        seen |= a | b | c;
        const std::uint32_t bits = std::uint32_t(a) << 18 | std::uint32_t(b) << 12 | std::uint32_t(c) << 6;
        out[0] = static_cast<unsigned char>(bits >> 16);
        if (padding == 1) {
            out[1] = static_cast<unsigned char>(bits >> 8);
        }
    }
    if (seen & notBase64) {
        return std::nullopt;
    }
    return bytes;
}

} // namespace vantorel
