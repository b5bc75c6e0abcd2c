#include "app/platform/LocalHostName.h"

#include <gtest/gtest.h>

namespace vantorel {
namespace {

TEST(LocalHostNameTest, PrettyHostNameOfMachineInfo)
{
    const std::pair<QByteArray, QString> rows[] = {
        {"CHASSIS=laptop\nPRETTY_HOSTNAME=\"Ami's \\\"Mac\\\" \\$1\"\n", QStringLiteral("Ami's \"Mac\" $1")},
        {"PRETTY_HOSTNAME='作業用 PC'\n", QStringLiteral("作業用 PC")},
        {"PRETTY_HOSTNAME=plain\n", QStringLiteral("plain")},
        {"CHASSIS=laptop\n", QString()},
    };
    for (const auto& [contents, expected] : rows)
        EXPECT_EQ(LocalHostName::prettyHostName(contents), expected) << contents.toStdString();
}

} // namespace
} // namespace vantorel
