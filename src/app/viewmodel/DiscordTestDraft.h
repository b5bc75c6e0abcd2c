#pragma once

#include <QString>
#include <QUuid>

namespace vantorel {

// A prepared Discord test message waiting for the user's confirmation.
struct DiscordTestDraft
{
    QUuid id;
    QString content;

    bool operator==(const DiscordTestDraft&) const = default;
};

} // namespace vantorel
