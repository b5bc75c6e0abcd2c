#include "SourcesTestSupport.h"
#include "core/sources/ServiceNameDraft.h"

using namespace vantorel;

TEST(ServiceNameDraft, SplitsAtEveryNewlineTrimsAndDropsBlanks)
{
    struct Case
    {
        QString text;
        QStringList names;
    };
    const QList<Case> cases = {
        {QString(), {}},
        {QStringLiteral("  \n\t\n"), {}},
        {QStringLiteral("Codex"), {QStringLiteral("Codex")}},
        {QStringLiteral(" Claude Code \r\n\r\nClaude API (api.anthropic.com)\n"),
         {QStringLiteral("Claude Code"), QStringLiteral("Claude API (api.anthropic.com)")}},
        {QStringLiteral("b\na\nb"), {QStringLiteral("b"), QStringLiteral("a"), QStringLiteral("b")}},
        {QStringLiteral("a\rb\u2028c\u2029d\u0085e\u000Bf\u000Cg"),
         {QStringLiteral("a"), QStringLiteral("b"), QStringLiteral("c"), QStringLiteral("d"), QStringLiteral("e"),
          QStringLiteral("f"), QStringLiteral("g")}},
        {QStringLiteral("\u3000全角 名前\u3000\n\u00A0x y\u00A0"), {QStringLiteral("全角 名前"), QStringLiteral("x y")}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.text.toStdString());
        EXPECT_EQ(ServiceNameDraft::names(c.text), c.names);
    }
}
