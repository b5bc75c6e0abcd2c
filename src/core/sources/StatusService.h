#pragma once

#include "core/foundation/CancelToken.h"
#include "core/foundation/Clock.h"
#include "core/foundation/Date.h"
#include "core/foundation/HttpClient.h"
#include "core/model/CodexStatusSummary.h"
#include "core/model/ComponentHealth.h"
#include "core/model/OverallCodexState.h"

#include <QByteArray>
#include <QStringList>
#include <QUrl>

#include <QCoroTask>

#include <memory>

namespace vantorel {

class HttpTransport;

// Reads one status page's summary document and reduces it to the components we watch, their
// worst health and the incidents still open. Lives on the thread that made it.
class StatusService
{
public:
    // Summary documents are tens of kilobytes; anything this large is not one.
    static constexpr qint64 maximumResponseBytes = 2 * 1024 * 1024;

    static QUrl openAIEndpoint();
    static QUrl claudeEndpoint();

    // 10 s without progress, 15 s in all; redirects are followed (status pages move hosts).
    static HttpClient::Options transportOptions();

    // Without a transport it owns an HttpClient with transportOptions(). `clock` stamps the
    // summaries it returns.
    explicit StatusService(QUrl endpoint, std::shared_ptr<HttpTransport> transport = {}, Clock clock = systemClock());

    const QUrl& endpoint() const { return m_endpoint; }

    // Fetches and reduces the page (see summary()). Throws StatusServiceError for a status other
    // than 2xx, JsonDecodeError (with a Japanese text) for a body that is too large or not a
    // summary document, HttpError for transport failures and CancellationError when `token` is
    // cancelled. The service may be destroyed while this runs.
    QCoro::Task<CodexStatusSummary> fetchSummary(QStringList componentNames, QStringList matchingKeywords,
                                                 CancelToken token = {});

    // Reduces a summary document fetched at `now`:
    // - watched components are those whose names equal one of `componentNames` (trimmed,
    //   case-insensitive); when the list is empty or names none on the page, those whose names
    //   contain one of `matchingKeywords` (case-insensitive). Duplicate names are merged, keeping
    //   the more severe health and the later date; page order is kept;
    // - the overall state is that of the worst known watched health, or of the page indicator
    //   when no watched component has a known health;
    // - incidents are those not yet resolved;
    // - `updatedAt` and `lastSuccessfulFetchAt` are `now` (when the reading was taken, not when
    //   the page last changed).
    // Throws JsonDecodeError when `document` is not a JSON object holding a "status" object or
    // a "components" array. Unknown fields, nulls and wrongly typed optional fields are ignored.
    static CodexStatusSummary summary(const QByteArray& document, const QStringList& componentNames,
                                      const QStringList& matchingKeywords, Date now);

    // The overall state a component health stands for; unknown counts as normal.
    static OverallCodexState overallState(ComponentHealth health);
    // The overall state of a page indicator ("none", "minor", "major", "critical", "maintenance").
    static OverallCodexState overallState(QStringView pageIndicator);

private:
    QUrl m_endpoint;
    std::shared_ptr<HttpTransport> m_transport;
    Clock m_clock;
};

} // namespace vantorel
