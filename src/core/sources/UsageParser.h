#pragma once

#include "core/foundation/Date.h"
#include "core/model/UsageSnapshot.h"

#include <QString>
#include <QTimeZone>

#include <optional>

namespace vantorel {

// Reads usage values from text the user pastes (the Codex CLI's /status screen, Claude Code's
// /usage screen, in English or Japanese) and checks hand-typed values. Pure; outside text
// cannot make it fail. The grammar is described in UsageParser.cpp.
struct UsageParser
{
    // Only this much of a paste is read, and longer lines are skipped: both screens are small,
    // and the bound keeps a huge clipboard from stalling the caller.
    static constexpr qsizetype maximumTextLength = 100'000;
    static constexpr qsizetype maximumLineLength = 1'000;

    // A Codex paste: the five-hour and weekly lines with their reset times and the credits line
    // (source pasted, stamped `now`, validation version 1); nullopt when nothing was found. Reset
    // times without a window are not used. Times without a zone are read in `localZone`.
    static std::optional<UsageSnapshot> parseCodex(const QString& text, Date now,
                                                   const QTimeZone& localZone = QTimeZone::systemTimeZone());

    // Any paste, used for Claude: the same values plus a reset time outside any window as the
    // general reset time; no validation version. nullopt when nothing was found.
    static std::optional<UsageSnapshot> parse(const QString& text, Date now,
                                              const QTimeZone& localZone = QTimeZone::systemTimeZone());

    // Typed values: each percent after turning full-width characters into ASCII, trimming, and
    // dropping one trailing "%", must be blank or a C-locale decimal number over the whole text
    // within 0...100. Source manual, `resetAt` as the general reset time. nullopt when a percent
    // is refused or nothing at all was given.
    static std::optional<UsageSnapshot> validatedManualSnapshot(const QString& fiveHourText, const QString& weeklyText,
                                                                const QString& creditsText,
                                                                std::optional<Date> resetAt, Date now);
};

} // namespace vantorel
