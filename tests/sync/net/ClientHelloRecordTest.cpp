#include "sync/net/ClientHelloRecord.h"

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>

using namespace vantorel;

namespace {

using Verdict = ClientHelloRecord::Verdict;

// Feeds `bytes` in pieces of `piece` bytes, each no longer than what the record still misses, as
// the connection reads them; the verdict after the last piece taken and how many bytes it took.
std::pair<Verdict, qsizetype> feed(const QByteArray& bytes, qsizetype piece)
{
    ClientHelloRecord record;
    qsizetype offset = 0;
    while (record.verdict() == Verdict::incomplete && offset < bytes.size()) {
        const qsizetype length = std::min({piece, record.missing(), bytes.size() - offset});
        record.append(QByteArrayView(bytes).sliced(offset, length));
        offset += length;
    }
    return {record.verdict(), offset};
}

// A record header declaring `recordLength`, then a handshake header of `type` declaring `length`.
QByteArray headers(quint32 recordLength, quint8 type, quint32 length, quint8 recordType = 22)
{
    QByteArray bytes;
    bytes += char(recordType);
    bytes += "\x03\x01";
    bytes += char(recordLength >> 8);
    bytes += char(recordLength);
    bytes += char(type);
    bytes += char(length >> 16);
    bytes += char(length >> 8);
    bytes += char(length);
    return bytes;
}

// A whole hello record whose body is `length` bytes.
QByteArray hello(quint32 length)
{
    return headers(length + 4, 1, length) + QByteArray(qsizetype(length), 'h');
}

} // namespace

TEST(ClientHelloRecordTest, JudgesTheSameWholeByteByByteAndInPieces)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        Verdict verdict;
        // Bytes needed for the verdict fed a byte at a time: a refusal comes as soon as the
        // offending byte is in, an acceptance with the record's last byte.
        qsizetype taken;
    };
    const quint32 bound = ClientHelloRecord::maximumClientHelloBytes;
    const QList<Case> cases = {
        {"OpenSSL's PSK hello, then more", QByteArray::fromHex("160301006b010000670303") + QByteArray(103, 'h'),
         Verdict::accepted, 112},
        {"a hello at the bound", hello(bound), Verdict::accepted, 9 + bound},
        {"a hello one byte beyond", headers(bound + 5, 1, bound + 1), Verdict::refused, 9},
        {"131,396 bytes declared in nine", QByteArray::fromHex("160301000401020144"), Verdict::refused, 9},
        {"a record longer than its hello", headers(110, 1, 103) + QByteArray(106, 'h'), Verdict::refused, 9},
        {"a hello cut across records", headers(50, 1, 103) + QByteArray(46, 'h'), Verdict::refused, 9},
        {"plain HTTP", "GET / HTTP/1.1\r\n", Verdict::refused, 1},
        {"an alert record", headers(2, 2, 0, 21), Verdict::refused, 1},
        {"a server hello", headers(80, 2, 76), Verdict::refused, 6},
        {"a record too short for the handshake header", headers(3, 1, 70), Verdict::refused, 5},
        {"a hello that stops one byte short", hello(103).chopped(1), Verdict::incomplete, 111},
        {"half a header", QByteArray::fromHex("16030100"), Verdict::incomplete, 4},
        {"nothing yet", {}, Verdict::incomplete, 0},
    };
    for (const Case& c : cases) {
        for (const qsizetype piece : {qsizetype(16 * 1024), qsizetype(1), qsizetype(2), qsizetype(4)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", pieces of " << piece);
            const auto [verdict, taken] = feed(c.bytes, piece);
            EXPECT_EQ(verdict, c.verdict);
            // Every refusal here lies in the headers, read to their end before the body: it ends
            // the reading with the piece that brought the offending byte.
            const qsizetype expected = c.verdict == Verdict::refused
                ? std::min({(c.taken + piece - 1) / piece * piece, ClientHelloRecord::headerBytes, c.bytes.size()})
                : c.taken;
            EXPECT_EQ(taken, expected);
        }
    }
}

TEST(ClientHelloRecordTest, TakesNoByteBeyondTheRecordAndKeepsThemUnchanged)
{
    const QByteArray record = QByteArray::fromHex("160301006b01000067") + QByteArray(103, '\x5a');
    ClientHelloRecord hello;
    EXPECT_EQ(hello.missing(), ClientHelloRecord::headerBytes);
    EXPECT_EQ(hello.append(QByteArrayView(record).first(3)), Verdict::incomplete);
    EXPECT_EQ(hello.missing(), ClientHelloRecord::headerBytes - 3);
    // Offered the whole record and more at once, it takes the headers first, then the body.
    EXPECT_EQ(hello.append(QByteArray(record.sliced(3) + "GET")), Verdict::incomplete);
    EXPECT_EQ(hello.missing(), 103);
    EXPECT_EQ(hello.append(QByteArray(record.sliced(9) + "GET")), Verdict::accepted);
    EXPECT_EQ(hello.missing(), 0);
    EXPECT_EQ(hello.bytes(), QByteArrayView(record));
    // Its verdict stands whatever comes after.
    EXPECT_EQ(hello.append("GET"), Verdict::accepted);
    EXPECT_EQ(hello.bytes(), QByteArrayView(record));
    hello.release();
    EXPECT_EQ(hello.capacity(), 0);
    EXPECT_EQ(hello.verdict(), Verdict::accepted);
}

TEST(ClientHelloRecordTest, HoldsNoMoreRoomThanTheBytesThatArrived)
{
    // The largest hello let through, trickled: a peer that stalls at any point costs what it sent.
    const QByteArray record = hello(ClientHelloRecord::maximumClientHelloBytes);
    ClientHelloRecord hello;
    for (qsizetype sent = 1; sent <= record.size(); ++sent) {
        hello.append(QByteArrayView(record).sliced(sent - 1, 1));
        ASSERT_EQ(hello.capacity(), sent);
    }
    EXPECT_EQ(hello.verdict(), Verdict::accepted);
}
