#include "core/foundation/HttpResponseReader.h"

#include <gtest/gtest.h>

#include <algorithm>

using namespace vantorel;
using State = HttpResponseReader::State;

namespace {

// Feeds `bytes` in pieces of `piece` bytes (all at once for 0), then ends the connection when asked.
HttpResponseReader read(const QByteArray& bytes, qsizetype piece = 0, bool close = false, qint64 limit = 1024,
                        bool headRequest = false)
{
    HttpResponseReader reader(headRequest, limit);
    const qsizetype step = piece > 0 ? piece : std::max<qsizetype>(bytes.size(), 1);
    for (qsizetype at = 0; at < bytes.size() && reader.state() == State::reading; at += step)
        reader.feed(QByteArrayView(bytes).sliced(at, std::min(step, bytes.size() - at)));
    if (close)
        reader.finish();
    return reader;
}

QByteArray headWithFields(int fields)
{
    QByteArray head = "HTTP/1.1 200 OK\r\n";
    for (int i = 0; i < fields; ++i)
        head += "X-F" + QByteArray::number(i) + ": v\r\n";
    return head;
}

} // namespace

TEST(HttpResponseReader, FramesBodiesByLengthChunksOrClose)
{
    const struct
    {
        const char* name;
        QByteArray bytes;
        bool close;
        State state;
        QByteArray body;
    } cases[] = {
        {"length", "HTTP/1.1 201 Created\r\nContent-Length: 5\r\n\r\nhelloIGNORED", false, State::complete, "hello"},
        {"bare line feeds", "HTTP/1.0 200 OK\nContent-Length: 2\n\nok", false, State::complete, "ok"},
        {"repeated equal lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2, 2\r\nContent-Length: 2\r\n\r\nok", false, State::complete, "ok"},
        {"conflicting lengths", "HTTP/1.1 200 OK\r\nContent-Length: 2\r\nContent-Length: 3\r\n\r\nok", false, State::invalid, ""},
        {"negative length", "HTTP/1.1 200 OK\r\nContent-Length: -1\r\n\r\n", false, State::invalid, ""},
        {"length cut short", "HTTP/1.1 200 OK\r\nContent-Length: 5\r\n\r\nhel", true, State::truncated, ""},
        {"chunked over length", "HTTP/1.1 200 OK\r\nContent-Length: 1\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n0\r\n\r\n", false, State::complete, "ok"},
        {"chunked with extension and trailer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: Chunked\r\n\r\nA;x=y\r\n0123456789\r\n0\r\nT: 1\r\n\r\n", false, State::complete, "0123456789"},
        {"chunk data overruns", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nok\r\n0\r\n\r\n", false, State::invalid, ""},
        {"chunk size not hex", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nzz\r\n", false, State::invalid, ""},
        {"chunked cut short", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n2\r\nok\r\n", true, State::truncated, ""},
        {"identity coding is no coding", "HTTP/1.1 200 OK\r\nTransfer-Encoding: identity\r\nContent-Length: 2\r\n\r\nok", false, State::complete, "ok"},
        {"until close", "HTTP/1.1 200 OK\r\n\r\nall of it", true, State::complete, "all of it"},
        {"no body for 204", "HTTP/1.1 204 No Content\r\nContent-Length: 9\r\n\r\n", false, State::complete, ""},
        {"interim answers skipped", "HTTP/1.1 100 Continue\r\n\r\nHTTP/1.1 103 Early\r\nLink: x\r\n\r\nHTTP/1.1 200 OK\r\nContent-Length: 1\r\n\r\nx", false, State::complete, "x"},
        {"closed before a byte", "", true, State::truncated, ""},
        {"no status line", "SSH-2.0-OpenSSH\r\n\r\n", false, State::invalid, ""},
        {"two-digit status", "HTTP/1.1 99 Odd\r\n\r\n", false, State::invalid, ""},
        {"folded field", "HTTP/1.1 200 OK\r\nA: 1\r\n  2\r\n\r\n", false, State::invalid, ""},
        {"field without a colon", "HTTP/1.1 200 OK\r\nno colon\r\n\r\n", false, State::invalid, ""},
        {"control byte in a value", QByteArray("HTTP/1.1 200 OK\r\nA: 1\r2\r\n\r\n"), false, State::invalid, ""},
        {"compressed body", "HTTP/1.1 200 OK\r\nContent-Encoding: gzip\r\nContent-Length: 1\r\n\r\nx", false, State::invalid, ""},
        {"listed content codings", "HTTP/1.1 200 OK\r\nContent-Encoding: identity, br\r\nContent-Length: 1\r\n\r\nx", false, State::invalid, ""},
        {"compressed transfer", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip, chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false, State::invalid, ""},
        {"compressed transfer in fields of its own", "HTTP/1.1 200 OK\r\nTransfer-Encoding: deflate\r\nTransfer-Encoding: chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false, State::invalid, ""},
        {"compressed transfer until close", "HTTP/1.1 200 OK\r\nTransfer-Encoding: gzip\r\n\r\nx", true, State::invalid, ""},
        {"chunked twice", "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked, chunked\r\n\r\n1\r\nx\r\n0\r\n\r\n", false, State::invalid, ""},
        {"protocol switch", "HTTP/1.1 101 Switching Protocols\r\n\r\n", false, State::invalid, ""},
    };
    for (const auto& testCase : cases) {
        // Every split of the bytes must read the same.
        for (const qsizetype piece : {qsizetype(0), qsizetype(1), qsizetype(7)}) {
            SCOPED_TRACE(testing::Message() << testCase.name << " in pieces of " << piece);
            const HttpResponseReader reader = read(testCase.bytes, piece, testCase.close);
            EXPECT_EQ(reader.state(), testCase.state) << reader.error().toStdString();
            if (testCase.state == State::complete) {
                EXPECT_EQ(reader.body(), testCase.body);
            }
        }
    }
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nContent-Length: 9\r\n\r\n", 0, false, 1024, true).state(), State::complete)
        << "the answer to HEAD has no body";
    const HttpResponseReader headers = read("HTTP/1.1 404 Not Found\r\nX-A: 1\r\nx-a:  2 \r\nContent-Length: 0\r\n\r\n");
    EXPECT_EQ(headers.statusCode(), 404);
    EXPECT_EQ(headers.headers().values("X-A"), (QList<QByteArray>{"1", "2"}));
}

TEST(HttpResponseReader, StopsAtTheHeadAndBodyBoundsAsBytesArrive)
{
    EXPECT_EQ(read(headWithFields(100) + "\r\n", 0, true).state(), State::complete);
    EXPECT_EQ(read(headWithFields(101), 5).state(), State::invalid) << "the 101st field fails before the head ends";

    // Exactly 64 KiB of head is accepted; one byte more, even unfinished, is not.
    const QByteArray start = "HTTP/1.1 200 OK\r\nX-Big: ";
    const qsizetype fill = HttpResponseReader::maximumHeadBytes - start.size() - 4;
    EXPECT_EQ(read(start + QByteArray(fill, 'v') + "\r\n\r\n", 1000, true).state(), State::complete);
    EXPECT_EQ(read(start + QByteArray(fill + 1, 'v') + "\r\n\r\n", 1000, true).state(), State::invalid);
    HttpResponseReader endless(false, 1024);
    endless.feed(start);
    State state = State::reading;
    qsizetype fed = start.size();
    while (state == State::reading && fed < 10 * HttpResponseReader::maximumHeadBytes) {
        state = endless.feed(QByteArray(512, 'v'));
        fed += 512;
    }
    EXPECT_EQ(state, State::invalid);
    EXPECT_LE(fed, HttpResponseReader::maximumHeadBytes + 512);

    // Trailers have the same bounds; a chunk line has its own.
    QByteArray trailers = "HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n0\r\n";
    for (int i = 0; i < 101; ++i)
        trailers += "T: 1\r\n";
    EXPECT_EQ(read(trailers).state(), State::invalid);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\n" + QByteArray(2000, '0')).state(), State::invalid);

    // The body cap holds for an announced length, a chunk size and a body read until the close.
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nContent-Length: 11\r\n\r\n", 0, false, 10).state(), State::tooLarge);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nB\r\n", 0, false, 10).state(), State::tooLarge);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\nTransfer-Encoding: chunked\r\n\r\nFFFFFFFFFFFFFFFFFFFF\r\n", 0, false, 10).state(), State::invalid);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\n\r\n" + QByteArray(11, 'x'), 3, true, 10).state(), State::tooLarge);
    EXPECT_EQ(read("HTTP/1.1 200 OK\r\n\r\n" + QByteArray(10, 'x'), 3, true, 10).state(), State::complete);
}
