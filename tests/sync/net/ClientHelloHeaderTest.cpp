#include "sync/net/ClientHelloHeader.h"

#include <QByteArray>
#include <QList>

#include <gtest/gtest.h>

using namespace vantorel;

namespace {

using Verdict = ClientHelloHeader::Verdict;

// Feeds `bytes` in pieces of `piece` bytes, each no longer than what the header still misses, as
// the connection reads them; the verdict after the last piece taken and how many bytes it took.
std::pair<Verdict, qsizetype> feed(const QByteArray& bytes, qsizetype piece)
{
    ClientHelloHeader header;
    qsizetype offset = 0;
    while (header.verdict() == Verdict::incomplete && offset < bytes.size()) {
        const qsizetype length = std::min({piece, header.missing(), bytes.size() - offset});
        header.append(QByteArrayView(bytes).sliced(offset, length));
        offset += length;
    }
    return {header.verdict(), offset};
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

} // namespace

TEST(ClientHelloHeaderTest, JudgesTheSameWholeByteByByteAndInPieces)
{
    struct Case
    {
        const char* name;
        QByteArray bytes;
        Verdict verdict;
        // Bytes needed for the verdict: a refusal comes as soon as the offending byte is in.
        qsizetype taken;
    };
    const qsizetype bound = ClientHelloHeader::maximumClientHelloBytes;
    const QList<Case> cases = {
        {"OpenSSL's PSK hello", QByteArray::fromHex("160301006b010000670303") + QByteArray(103, 'h'),
         Verdict::accepted, 9},
        {"a hello at the bound", headers(quint32(bound) + 4, 1, quint32(bound)), Verdict::accepted, 9},
        {"a hello one byte beyond", headers(quint32(bound) + 5, 1, quint32(bound) + 1), Verdict::refused, 9},
        {"131,396 bytes declared in nine", QByteArray::fromHex("160301000401020144"), Verdict::refused, 9},
        {"plain HTTP", "GET / HTTP/1.1\r\n", Verdict::refused, 1},
        {"an alert record", headers(2, 2, 0, 21), Verdict::refused, 1},
        {"a server hello", headers(80, 2, 76), Verdict::refused, 6},
        {"a record too short for the handshake header", headers(3, 1, 70), Verdict::refused, 5},
        {"half a header", QByteArray::fromHex("16030100"), Verdict::incomplete, 4},
        {"nothing yet", {}, Verdict::incomplete, 0},
    };
    for (const Case& c : cases) {
        for (const qsizetype piece : {qsizetype(1024), qsizetype(1), qsizetype(2), qsizetype(4)}) {
            SCOPED_TRACE(testing::Message() << c.name << ", pieces of " << piece);
            const auto [verdict, taken] = feed(c.bytes, piece);
            EXPECT_EQ(verdict, c.verdict);
            // A refusal ends the reading with the piece that brought the offending byte.
            EXPECT_EQ(taken, std::min({(c.taken + piece - 1) / piece * piece, ClientHelloHeader::size, c.bytes.size()}));
        }
    }
}

TEST(ClientHelloHeaderTest, TakesNoByteBeyondTheHeaderAndKeepsThemUnchanged)
{
    const QByteArray hello = QByteArray::fromHex("160301006b01000067") + QByteArray(103, '\x5a');
    ClientHelloHeader header;
    EXPECT_EQ(header.missing(), ClientHelloHeader::size);
    EXPECT_EQ(header.append(QByteArrayView(hello).first(3)), Verdict::incomplete);
    EXPECT_EQ(header.missing(), ClientHelloHeader::size - 3);
    // Offered the rest of the hello at once, it takes only the header's remaining six bytes.
    EXPECT_EQ(header.append(QByteArrayView(hello).sliced(3)), Verdict::accepted);
    EXPECT_EQ(header.missing(), 0);
    EXPECT_EQ(header.bytes(), QByteArrayView(hello).first(ClientHelloHeader::size));
    // Its verdict stands whatever comes after.
    EXPECT_EQ(header.append("GET"), Verdict::accepted);
    EXPECT_EQ(header.bytes(), QByteArrayView(hello).first(ClientHelloHeader::size));
}
