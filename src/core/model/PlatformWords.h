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

    constexpr QStringView view() const noexcept { return m_text; }
    operator QString() const { return m_text.toString(); }

private:
    QStringView m_text;
};

// What the screens call this machine and its services where a screen shows the word alone (a
// title, a switch, a row). A sentence writes the word out in its own literal, so the text a user
// reports is found by searching for it; such sentences use exactly these words.
// Screens only: stored keys, log lines and what a paired phone receives keep their own words.
struct PlatformWords {
    PlatformWords() = delete;

    // The user's own machine, where usage is fetched and notifications are raised.
    static constexpr PlatformWord thisComputer{u"このPC"};
    // Notifications shown by the desktop's notification service.
    static constexpr PlatformWord desktopNotifications{u"デスクトップ通知"};
    // The Secret Service that holds the webhook URL, the API key and the pairing key.
    static constexpr PlatformWord secretStore{u"キーリング"};
    // The switch that starts the application with the user's desktop session.
    static constexpr PlatformWord launchAtLogin{u"ログイン時に自動起動"};
    // Where the desktop lets the user switch the autostart entries of applications.
    static constexpr PlatformWord autostartSettings{u"デスクトップの自動起動設定"};
    // Where Claude Code keeps its login on this platform.
    static constexpr PlatformWord claudeCredentialFile{u"Claude Codeの認証ファイル"};
    // Where the status icon sits: the panel's tray, or the fallback panel without one.
    static constexpr PlatformWord tray{u"トレイ"};
    // The local folder the cloud copy is written to.
    static constexpr PlatformWord cloudFolder{u"同期フォルダ"};
};

} // namespace vantorel
