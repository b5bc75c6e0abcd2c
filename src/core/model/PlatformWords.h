#pragma once

#include <QString>
#include <QStringView>

namespace vantorel {

// A word fixed at compile time. Like QLatin1StringView it becomes a QString where a widget wants
// one; it has no `+`, so a sentence cannot be glued together around it.
class PlatformWord
{
public:
    explicit constexpr PlatformWord(QStringView text) noexcept
        : m_text(text)
    {
    }

    operator QString() const { return m_text.toString(); }

private:
    QStringView m_text;
};

// What the screens call this machine and its services where a screen shows the word alone (a
// title, a switch, a row). A sentence writes the word out in its own literal, so the text a user
// reports is found by searching for it (キーリング, 同期フォルダ and the like).
// Screens only: stored keys, log lines and what a paired phone receives keep their own words.
struct PlatformWords {
    PlatformWords() = delete;

    // The user's own machine, where usage is fetched and notifications are raised.
    static constexpr PlatformWord thisComputer{u"このPC"};
    // Notifications shown by the desktop's notification service.
    static constexpr PlatformWord desktopNotifications{u"デスクトップ通知"};
    // The switch that starts the application with the user's desktop session.
    static constexpr PlatformWord launchAtLogin{u"ログイン時に自動起動"};
    // Where the status icon sits: the panel's tray, or the fallback panel without one.
    static constexpr PlatformWord tray{u"トレイ"};
};

} // namespace vantorel
