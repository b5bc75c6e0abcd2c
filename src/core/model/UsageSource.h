#pragma once

#include <QString>

#include <array>
#include <optional>

namespace vantorel {

// Where a usage reading came from; claudeOAuth marks a reading of the Claude usage endpoint.
enum class UsageSource { pasted, manual, codexCLI, claudeOAuth };

inline constexpr std::array allUsageSources{UsageSource::pasted, UsageSource::manual, UsageSource::codexCLI, UsageSource::claudeOAuth};

QString rawValue(UsageSource value);
std::optional<UsageSource> usageSourceFromRaw(const QString& raw);

} // namespace vantorel
