#include "sync/model/UsageSyncError.h"
#include "sync/net/SyncFrameDecoder.h"
#include "sync/net/SyncWire.h"

#include "sync/net/NetTestOutcome.h"

#include <gtest/gtest.h>

#include <QRandomGenerator>

using namespace vantorel;

namespace {

QByteArray bytes(std::initializer_list<int> values)
{
    QByteArray result;
    for (int v : values)
        result.append(static_cast<char>(v));
    return result;
}

QByteArray pattern(qsizetype size, int seed)
{
    QByteArray result(size, Qt::Uninitialized);
    for (qsizetype i = 0; i < size; ++i)
        result[i] = static_cast<char>((i * 31 + seed) & 0xff);
    return result;
}

} // namespace

TEST(SyncWireTest, FramesWithBigEndianLengthAndRefusesEmptyOrOversizedPayloads)
{
    const QByteArray request = R"({"message":{"readSnapshot":{}},"version":1})";
    EXPECT_EQ(SyncWire::frame(request), bytes({0, 0, 0, 0x2b}) + request);

    const QByteArray largest(SyncWire::maximumPayloadBytes, 'a');
    const QByteArray framed = SyncWire::frame(largest);
    EXPECT_EQ(framed.left(4), bytes({0, 0x20, 0, 0}));
    EXPECT_EQ(framed.size(), largest.size() + 4);

    EXPECT_EQ(outcomeOf([] { SyncWire::frame({}); }), "invalidData");
    EXPECT_EQ(outcomeOf([] { SyncWire::frame(QByteArray(SyncWire::maximumPayloadBytes + 1, 'a')); }), "invalidData");
}

TEST(SyncFrameDecoderTest, ReturnsPayloadsAsFramesComplete)
{
    const QByteArray first = SyncWire::frame("first");
    const QByteArray second = SyncWire::frame("second!");

    struct Case
    {
        const char* name;
        QList<QByteArray> chunks;
        QList<QList<QByteArray>> expected;
        qsizetype leftOver;
    };
    const QList<Case> cases = {
        {"one whole frame", {first}, {{"first"}}, 0},
        {"split inside the header", {first.left(2), first.mid(2)}, {{}, {"first"}}, 0},
        {"split inside the payload", {first.left(6), first.mid(6)}, {{}, {"first"}}, 0},
        {"byte by byte header", {first.left(1), first.mid(1, 1), first.mid(2, 1), first.mid(3)}, {{}, {}, {}, {"first"}}, 0},
        {"two frames in one chunk", {first + second}, {{"first", "second!"}}, 0},
        {"frame and start of next", {first + second.left(3)}, {{"first"}}, 3},
        {"rest of the next completes later", {first + second.left(6), second.mid(6)}, {{"first"}, {"second!"}}, 0},
        {"empty chunk", {first.left(3), QByteArray()}, {{}, {}}, 3},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncFrameDecoder decoder;
        for (qsizetype i = 0; i < c.chunks.size(); ++i)
            EXPECT_EQ(decoder.append(c.chunks[i]), c.expected[i]);
        EXPECT_EQ(decoder.bufferedBytes(), c.leftOver);
    }
}

TEST(SyncFrameDecoderTest, RefusesBadLengthsAtOnceAndDropsEverythingOfThatCall)
{
    struct Case
    {
        const char* name;
        QByteArray chunk;
    };
    const QList<Case> cases = {
        {"zero length", bytes({0, 0, 0, 0})},
        {"one over the limit, no payload yet", bytes({0, 0x20, 0, 1})},
        {"largest 32-bit length", bytes({0xff, 0xff, 0xff, 0xff})},
        {"valid frame before a bad header", SyncWire::frame("ok") + bytes({0, 0, 0, 0})},
        {"bytes after a bad header", bytes({0, 0x30, 0, 0}) + SyncWire::frame("later")},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        SyncFrameDecoder decoder;
        EXPECT_EQ(outcomeOf([&] { decoder.append(c.chunk); }), "invalidData");
        EXPECT_EQ(decoder.bufferedBytes(), 0);
        // The decoder stays usable after a failure.
        EXPECT_EQ(decoder.append(SyncWire::frame("next")), QList<QByteArray>{"next"});
    }

    // A bad header split over two chunks fails when its fourth byte arrives.
    SyncFrameDecoder decoder;
    EXPECT_TRUE(decoder.append(bytes({0, 0x20})).isEmpty());
    EXPECT_EQ(outcomeOf([&] { decoder.append(bytes({0, 1})); }), "invalidData");
}

TEST(SyncFrameDecoderTest, GivesTheSamePayloadsWhateverTheChunking)
{
    QList<QByteArray> payloads = {pattern(1, 1), pattern(16'383, 2), pattern(16'384, 3), pattern(16'385, 4),
                                  pattern(300'000, 5), pattern(7, 6)};
    QByteArray stream;
    for (const QByteArray& payload : payloads)
        stream += SyncWire::frame(payload);

    SyncFrameDecoder whole;
    EXPECT_EQ(whole.append(stream), payloads);

    QRandomGenerator random(42);
    for (int round = 0; round < 5; ++round) {
        SyncFrameDecoder decoder;
        QList<QByteArray> received;
        for (qsizetype offset = 0; offset < stream.size();) {
            const qsizetype size = std::min<qsizetype>(random.bounded(1, 40'000), stream.size() - offset);
            received += decoder.append(stream.mid(offset, size));
            offset += size;
        }
        EXPECT_EQ(received, payloads);
        EXPECT_EQ(decoder.bufferedBytes(), 0);
    }

    // The largest frame fed in one chunk.
    const QByteArray largest = pattern(SyncWire::maximumPayloadBytes, 9);
    SyncFrameDecoder decoder;
    EXPECT_EQ(decoder.append(SyncWire::frame(largest) + bytes({0, 0})), QList<QByteArray>{largest});
    EXPECT_EQ(decoder.bufferedBytes(), 2);
}
