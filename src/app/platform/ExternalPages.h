#pragma once

#include <QUrl>

namespace vantorel {

// The providers' public status pages, opened in the browser (not the status data endpoints).
struct ExternalPages {
    static QUrl openAIStatus() { return QUrl(QStringLiteral("https://status.openai.com/")); }
    static QUrl claudeStatus() { return QUrl(QStringLiteral("https://status.claude.com/")); }
};

} // namespace vantorel
