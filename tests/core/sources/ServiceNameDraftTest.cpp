#include "SourcesTestSupport.h"
#include "core/sources/ServiceNameDraft.h"

using namespace vantorel;

TEST(ServiceNameDraft, SplitsAtEveryNewlineTrimsAndDropsBlanks)
{
    const QList<std::pair<QString, QStringList>> cases = {
        {"", {}},
        {"  \n\t\n", {}},
        {" Claude Code \r\n\r\nClaude API (api.anthropic.com)\n", {"Claude Code", "Claude API (api.anthropic.com)"}},
        {"b\na\nb", {"b", "a", "b"}},
        {"a\rb\u2028c\u2029d\u0085e\u000Bf\u000Cg", {"a", "b", "c", "d", "e", "f", "g"}},
        {"\u3000全角 名前\u3000\n\u00A0x y\u00A0", {"全角 名前", "x y"}},
    };
    for (const auto& [text, names] : cases) {
        SCOPED_TRACE(text.toStdString());
        EXPECT_EQ(ServiceNameDraft::names(text), names);
    }
}
