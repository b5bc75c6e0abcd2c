#pragma once

#include "app/ui/LineLimitedLabel.h"
#include "core/model/NotificationDeliveryEvidence.h"
#include "core/rules/PendingDiscordNotification.h"

#include <QStringList>
#include <QTimeZone>

#include <optional>

namespace vantorel {

// What happened to one notification on each channel and, while its Discord message is still
// queued, what it waits for. The lines are plain text (they may quote status-page component
// names) and the accessible name holds them all, so a screen reader reads the record at once.
class NotificationDeliveryEvidenceView : public LineLimitedLabel
{
    Q_OBJECT

public:
    explicit NotificationDeliveryEvidenceView(QWidget* parent = nullptr);

    // Replaces the shown record; equal inputs change nothing.
    void setEvidence(const std::optional<NotificationDeliveryEvidence>& evidence,
                     const std::optional<PendingDiscordNotification>& pending);

    // The lines, top to bottom: both channels always, then the hint on an over-long message,
    // the cancellation reason, the queued item's wait, next attempt and attempt count, and last
    // the warning that an unanswered attempt may arrive twice. Dates are written in `timeZone`.
    static QStringList evidenceLines(const std::optional<NotificationDeliveryEvidence>& evidence,
                                     const std::optional<PendingDiscordNotification>& pending,
                                     const QTimeZone& timeZone);

private:
    std::optional<NotificationDeliveryEvidence> m_evidence;
    std::optional<PendingDiscordNotification> m_pending;
    bool m_shown = false;
};

} // namespace vantorel
