#pragma once

#include "core/foundation/HttpHeaders.h"

#include <QByteArray>
#include <QByteArrayView>
#include <QString>

#include <utility>

namespace vantorel {

// Reads one HTTP/1.x answer from the bytes of a connection as they arrive: the status line and
// head line by line, then a body framed by Content-Length, by the chunked transfer coding or by
// the end of the connection. Interim 1xx heads are skipped. Every bound is checked as bytes
// arrive, so a peer that never finishes its head or a chunk line fails at the bound, not at a
// time-out, and memory stays within the bounds plus one read.
class HttpResponseReader
{
public:
    enum class State {
        // More bytes are needed.
        reading,
        complete,
        // The bytes are no HTTP answer, or the head is past its bounds (see error()).
        invalid,
        // The body is longer than the limit.
        tooLarge,
        // The connection ended before the answer did.
        truncated,
    };

    // Largest head (status line, fields and their line breaks, interim heads included).
    static constexpr qsizetype maximumHeadBytes = 64 * 1024;
    // Most header fields in one answer (trailer fields of a chunked body count the same way).
    static constexpr int maximumHeaderLines = 100;
    // Longest chunk-size line of a chunked body.
    static constexpr qsizetype maximumChunkLineBytes = 1024;

    // Whether a field may stand in a head either way: the name an HTTP token, the value free of
    // control characters but tab (a line break in it would start a field of its own).
    static bool isValidField(QByteArrayView name, QByteArrayView value);

    // `headRequest`: the answer to HEAD has no body whatever its head says. Bodies longer than
    // `bodyLimit` end the reading as tooLarge.
    HttpResponseReader(bool headRequest, qint64 bodyLimit);

    // Takes the next bytes of the connection. Bytes after a complete answer are ignored.
    State feed(QByteArrayView bytes);
    // The connection has ended: completes a body read until the close, else truncated.
    State finish();

    State state() const { return m_state; }
    // Whether any byte has arrived (a connection that closes before that was never answered).
    bool hasStarted() const { return m_started; }
    // Whether the final head has been read (the body may still be arriving).
    bool hasHead() const { return m_hasHead; }
    int statusCode() const { return m_statusCode; }
    const HttpHeaders& headers() const { return m_headers; }
    const QByteArray& body() const { return m_body; }
    QByteArray takeBody() { return std::move(m_body); }
    // Why the reading failed, for logs.
    const QString& error() const { return m_error; }

private:
    enum class Phase { statusLine, headLine, body, chunkSize, chunkData, chunkDataEnd, trailerLine, done };
    enum class Framing { none, length, chunked, untilClose };
    enum class Line { taken, incomplete, tooLong };

    // Takes one complete line (without its line break) of the head, a chunk line or a trailer,
    // when it and its line break fit in `lineLimit` bytes.
    Line takeLine(QByteArray& line, qsizetype lineLimit);
    bool readStatusLine(const QByteArray& line);
    bool readHeadLine(const QByteArray& line);
    bool readChunkSize(const QByteArray& line);
    // The head has ended: decides the framing of the body.
    bool beginBody();
    bool appendBody(QByteArrayView bytes);
    State fail(State state, QString error);
    State step();

    bool m_headRequest;
    qint64 m_bodyLimit;
    State m_state = State::reading;
    Phase m_phase = Phase::statusLine;
    Framing m_framing = Framing::none;
    bool m_started = false;
    bool m_hasHead = false;
    QByteArray m_pending;
    qsizetype m_headBytes = 0;
    int m_headLines = 0;
    int m_statusCode = 0;
    HttpHeaders m_headers;
    QByteArray m_body;
    qint64 m_remaining = 0;
    QString m_error;
};

} // namespace vantorel
