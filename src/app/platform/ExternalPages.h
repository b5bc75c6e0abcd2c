#pragma once

#include <QUrl>

namespace vantorel {

// The providers' public status pages, opened in the browser (not the status data endpoints).
struct ExternalPages {
    static QUrl openAIStatus() { return QUrl(QStringLiteral("https://status.openai.com/")); }
    static QUrl claudeStatus() { return QUrl(QStringLiteral("https://status.claude.com/")); }
    // The Codex usage page of the ChatGPT site.
    static QUrl codexUsage() { return QUrl(QStringLiteral("https://chatgpt.com/codex/settings/usage")); }
};

} // namespace vantorel
