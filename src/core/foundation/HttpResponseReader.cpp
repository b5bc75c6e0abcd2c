#include "core/foundation/HttpResponseReader.h"

#include <algorithm>
#include <limits>
#include <optional>
#include <string_view>

namespace vantorel {

namespace {

bool isTokenCharacter(char c)
{
    static constexpr std::string_view punctuation = "!#$%&'*+-.^_`|~";
    return (c >= '0' && c <= '9') || (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z')
        || punctuation.find(c) != std::string_view::npos;
}

bool isControlCharacter(char c)
{
    const auto byte = static_cast<unsigned char>(c);
    return (byte < 0x20 && byte != '\t') || byte == 0x7F;
}

bool isDigit(char c)
{
    return c >= '0' && c <= '9';
}

// Non-negative decimal digits only; nullopt on anything else or on overflow.
std::optional<qint64> decimal(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        if (!isDigit(c) || value > (std::numeric_limits<qint64>::max() - 9) / 10)
            return std::nullopt;
        value = value * 10 + (c - '0');
    }
    return value;
}

std::optional<qint64> hexadecimal(QByteArrayView text)
{
    if (text.isEmpty())
        return std::nullopt;
    qint64 value = 0;
    for (const char c : text) {
        int digit = 0;
        if (isDigit(c))
            digit = c - '0';
        else if (c >= 'a' && c <= 'f')
            digit = c - 'a' + 10;
        else if (c >= 'A' && c <= 'F')
            digit = c - 'A' + 10;
        else
            return std::nullopt;
        if (value > (std::numeric_limits<qint64>::max() >> 4))
            return std::nullopt;
        value = value * 16 + digit;
    }
    return value;
}

// The codings fields of one name list, lower case, in order; "identity" is no coding at all, and
// some servers still name it.
QList<QByteArray> codingsIn(const QList<QByteArray>& fields)
{
    QList<QByteArray> codings;
    for (const QByteArray& field : fields) {
        for (const QByteArray& coding : field.split(',')) {
            if (QByteArray name = coding.trimmed().toLower(); !name.isEmpty() && name != "identity")
                codings.append(std::move(name));
        }
    }
    return codings;
}

} // namespace

bool HttpResponseReader::isValidField(QByteArrayView name, QByteArrayView value)
{
    return !name.isEmpty() && std::all_of(name.begin(), name.end(), isTokenCharacter)
        && std::none_of(value.begin(), value.end(), isControlCharacter);
}

HttpResponseReader::HttpResponseReader(bool headRequest, qint64 bodyLimit)
    : m_headRequest(headRequest)
    , m_bodyLimit(bodyLimit)
{
}

HttpResponseReader::State HttpResponseReader::feed(QByteArrayView bytes)
{
    if (m_state != State::reading || bytes.isEmpty())
        return m_state;
    m_started = true;
    m_pending.append(bytes);
    m_state = step();
    if (m_state != State::reading)
        m_pending.clear();
    return m_state;
}

HttpResponseReader::State HttpResponseReader::finish()
{
    if (m_state != State::reading)
        return m_state;
    if (m_phase == Phase::body && m_framing == Framing::untilClose) {
        m_state = State::complete;
        return m_state;
    }
    return fail(State::truncated, QStringLiteral("The connection closed before the answer was complete"));
}

HttpResponseReader::State HttpResponseReader::fail(State state, QString error)
{
    m_state = state;
    m_error = std::move(error);
    m_pending.clear();
    m_phase = Phase::done;
    return m_state;
}

HttpResponseReader::Line HttpResponseReader::takeLine(QByteArray& line, qsizetype lineLimit)
{
    const qsizetype end = m_pending.indexOf('\n');
    // An unfinished line already past its bound never becomes acceptable.
    if (end < 0)
        return m_pending.size() > lineLimit ? Line::tooLong : Line::incomplete;
    if (end + 1 > lineLimit)
        return Line::tooLong;
    line = m_pending.left(end);
    m_pending.remove(0, end + 1);
    if (line.endsWith('\r'))
        line.chop(1);
    return Line::taken;
}

HttpResponseReader::State HttpResponseReader::step()
{
    const auto headTooLarge = [this] {
        return fail(State::invalid, QStringLiteral("The response head is larger than %1 bytes").arg(maximumHeadBytes));
    };
    QByteArray line;
    for (;;) {
        switch (m_phase) {
        case Phase::statusLine:
        case Phase::headLine:
        case Phase::trailerLine: {
            const qsizetype before = m_pending.size();
            if (const Line taken = takeLine(line, maximumHeadBytes - m_headBytes); taken != Line::taken)
                return taken == Line::tooLong ? headTooLarge() : State::reading;
            m_headBytes += before - m_pending.size();
            bool ok = true;
            if (m_phase == Phase::statusLine)
                ok = line.isEmpty() || readStatusLine(line);
            else if (m_phase == Phase::headLine)
                ok = readHeadLine(line);
            else if (line.isEmpty())
                return State::complete;
            else if (++m_headLines > maximumHeaderLines)
                return fail(State::invalid, QStringLiteral("The response has more than %1 trailer fields").arg(maximumHeaderLines));
            if (!ok)
                return m_state;
            break;
        }
        case Phase::body: {
            if (m_pending.isEmpty())
                return State::reading;
            const qsizetype count = m_framing == Framing::length ? qsizetype(std::min<qint64>(m_remaining, m_pending.size()))
                                                                 : m_pending.size();
            if (!appendBody(QByteArrayView(m_pending).first(count)))
                return m_state;
            m_pending.remove(0, count);
            if (m_framing == Framing::length && (m_remaining -= count) == 0)
                return State::complete;
            break;
        }
        case Phase::chunkSize:
            if (const Line taken = takeLine(line, maximumChunkLineBytes); taken != Line::taken) {
                return taken == Line::tooLong ? fail(State::invalid, QStringLiteral("A chunk-size line is too long"))
                                              : State::reading;
            }
            if (!readChunkSize(line))
                return m_state;
            break;
        case Phase::chunkData: {
            if (m_pending.isEmpty())
                return State::reading;
            const auto count = qsizetype(std::min<qint64>(m_remaining, m_pending.size()));
            if (!appendBody(QByteArrayView(m_pending).first(count)))
                return m_state;
            m_pending.remove(0, count);
            if ((m_remaining -= count) == 0)
                m_phase = Phase::chunkDataEnd;
            break;
        }
        case Phase::chunkDataEnd:
            if (const Line taken = takeLine(line, 2); taken == Line::incomplete)
                return State::reading;
            else if (taken == Line::tooLong || !line.isEmpty())
                return fail(State::invalid, QStringLiteral("A chunk does not end where its size says"));
            m_phase = Phase::chunkSize;
            break;
        case Phase::done:
            return m_state;
        }
    }
}

bool HttpResponseReader::readStatusLine(const QByteArray& line)
{
    // "HTTP/1.1 200 OK": version, a three-digit status, an optional reason.
    const bool shaped = line.size() >= 12 && line.startsWith("HTTP/1.") && isDigit(line[7]) && line[8] == ' '
        && isDigit(line[9]) && isDigit(line[10]) && isDigit(line[11]) && (line.size() == 12 || line[12] == ' ');
    if (!shaped) {
        fail(State::invalid, QStringLiteral("The answer does not start with an HTTP/1 status line"));
        return false;
    }
    m_statusCode = (line[9] - '0') * 100 + (line[10] - '0') * 10 + (line[11] - '0');
    if (m_statusCode < 100) {
        fail(State::invalid, QStringLiteral("The status %1 is no HTTP status").arg(m_statusCode));
        return false;
    }
    m_headers = HttpHeaders();
    m_phase = Phase::headLine;
    return true;
}

bool HttpResponseReader::readHeadLine(const QByteArray& line)
{
    if (line.isEmpty()) {
        // An interim answer (100 Continue, 103 Early Hints) precedes the real one.
        if (m_statusCode < 200 && m_statusCode != 101) {
            m_phase = Phase::statusLine;
            return true;
        }
        return beginBody();
    }
    if (++m_headLines > maximumHeaderLines) {
        fail(State::invalid, QStringLiteral("The response has more than %1 header fields").arg(maximumHeaderLines));
        return false;
    }
    const qsizetype colon = line.indexOf(':');
    const QByteArray name = line.left(std::max<qsizetype>(colon, 0));
    // A line folded onto the previous one, or a name that is no token, is no field.
    const QByteArray value = line.mid(colon + 1).trimmed();
    const auto isControl = [](char c) {
        const auto byte = static_cast<unsigned char>(c);
        return (byte < 0x20 && byte != '\t') || byte == 0x7F;
    };
    if (colon <= 0 || !std::all_of(name.begin(), name.end(), isTokenCharacter)
        || std::any_of(value.begin(), value.end(), isControl)) {
        fail(State::invalid, QStringLiteral("The response head has a malformed field"));
        return false;
    }
    m_headers.add(name, value);
    return true;
}

bool HttpResponseReader::beginBody()
{
    m_hasHead = true;
    if (m_statusCode == 101) {
        fail(State::invalid, QStringLiteral("The server switched protocols unasked"));
        return false;
    }
    // Nothing here asks for a compressed body and the reader undoes no coding but the chunked
    // framing: a body in any other coding, whichever field names it, would reach the caller as
    // bytes it cannot read.
    if (!codingsIn(m_headers.values("Content-Encoding")).isEmpty()) {
        fail(State::invalid, QStringLiteral("The body has a content coding that was not asked for"));
        return false;
    }
    const QList<QByteArray> transferCodings = codingsIn(m_headers.values("Transfer-Encoding"));
    if (!transferCodings.isEmpty() && transferCodings != QList<QByteArray>{"chunked"}) {
        fail(State::invalid, QStringLiteral("The body has a transfer coding that was not asked for"));
        return false;
    }
    if (m_headRequest || m_statusCode == 204 || m_statusCode == 304) {
        m_phase = Phase::done;
        m_state = State::complete;
        return false;
    }
    if (!transferCodings.isEmpty()) {
        m_framing = Framing::chunked;
        m_phase = Phase::chunkSize;
        m_headBytes = 0;
        m_headLines = 0;
        return true;
    }
    std::optional<qint64> length;
    for (const QByteArray& field : m_headers.values("Content-Length")) {
        for (const QByteArray& item : field.split(',')) {
            const auto value = decimal(QByteArrayView(item).trimmed());
            if (!value || (length && *length != *value)) {
                fail(State::invalid, QStringLiteral("The response has a malformed Content-Length"));
                return false;
            }
            length = value;
        }
    }
    if (!length) {
        m_framing = Framing::untilClose;
        m_phase = Phase::body;
        return true;
    }
    if (*length > m_bodyLimit) {
        fail(State::tooLarge, QStringLiteral("The response is larger than %1 bytes").arg(m_bodyLimit));
        return false;
    }
    if (*length == 0) {
        m_phase = Phase::done;
        m_state = State::complete;
        return false;
    }
    m_framing = Framing::length;
    m_remaining = *length;
    m_phase = Phase::body;
    return true;
}

bool HttpResponseReader::readChunkSize(const QByteArray& line)
{
    // Chunk extensions after ";" carry nothing we use.
    const qsizetype semicolon = line.indexOf(';');
    const auto size = hexadecimal(QByteArrayView(line).first(semicolon < 0 ? line.size() : semicolon).trimmed());
    if (!size) {
        fail(State::invalid, QStringLiteral("A chunk-size line is malformed"));
        return false;
    }
    if (*size > m_bodyLimit - m_body.size()) {
        fail(State::tooLarge, QStringLiteral("The response is larger than %1 bytes").arg(m_bodyLimit));
        return false;
    }
    m_remaining = *size;
    m_phase = *size == 0 ? Phase::trailerLine : Phase::chunkData;
    return true;
}

bool HttpResponseReader::appendBody(QByteArrayView bytes)
{
    if (m_body.size() + bytes.size() > m_bodyLimit) {
        fail(State::tooLarge, QStringLiteral("The response is larger than %1 bytes").arg(m_bodyLimit));
        return false;
    }
    m_body.append(bytes);
    return true;
}

} // namespace vantorel
