#include "core/foundation/Base64Text.h"

#include <QRandomGenerator>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Every length through three whole groups and each remainder, over random bytes: the same text
// as Qt's coder writes, and back to the same bytes.
TEST(Base64Text, CodesAsQtDoesForEveryRemainder)
{
    QRandomGenerator random(7);
    for (qsizetype length = 0; length <= 48; ++length) {
        SCOPED_TRACE(length);
        QByteArray data(length, Qt::Uninitialized);
        for (char& byte : data)
            byte = static_cast<char>(random.bounded(256));
        QByteArray text("prefix");
        Base64Text::append(text, data);
        const QByteArray expected = QByteArray("prefix").append(data.toBase64());
        EXPECT_EQ(text, expected);
        if (length > 0) {
            EXPECT_EQ(Base64Text::decodeWhole(data.toBase64()), data);
        }
    }
}

// Only whole, padded, standard groups are decoded; the rest is left to Qt's decoder.
TEST(Base64Text, LeavesAnythingButWholePaddedGroupsToQt)
{
    for (const char* text : {"", "QQ", "QQ=", "QUJD\n", "QU=D", "QUJ-", "QUJ_", "QU JD", "=QUJ", "QUJDRA==QQ=="}) {
        SCOPED_TRACE(text);
        const QByteArray bytes(text);
        const auto whole = Base64Text::decodeWhole(bytes);
        const auto qt = QByteArray::fromBase64Encoding(bytes, QByteArray::AbortOnBase64DecodingErrors);
        // Where the table decodes, Qt agrees.
        if (whole) {
            ASSERT_TRUE(qt);
            EXPECT_EQ(*whole, *qt);
        }
    }
    EXPECT_FALSE(Base64Text::decodeWhole("QQ"));
    EXPECT_FALSE(Base64Text::decodeWhole("QU=D"));
    EXPECT_FALSE(Base64Text::decodeWhole("QUJ-"));
    EXPECT_FALSE(Base64Text::decodeWhole("QUJDRA==QQ=="));
    EXPECT_EQ(Base64Text::decodeWhole("QUI="), QByteArray("AB"));
    EXPECT_EQ(Base64Text::decodeWhole("QQ=="), QByteArray("A"));
}

} // namespace
} // namespace vantorel
