#pragma once

#include <QString>
#include <QUuid>

#include <optional>

namespace vantorel {

// Canonical upper-case text without braces: "E621E1F8-C36C-495A-93FC-0C247A3E6E5F".
QString uuidText(const QUuid& uuid);
// Accepts either case, with or without braces; nullopt for anything else.
std::optional<QUuid> parseUuid(QStringView text);
// Exactly 36 characters in the 8-4-4-4-12 form, either case.
std::optional<QUuid> parseUuidStrict(QStringView text);

} // namespace vantorel
