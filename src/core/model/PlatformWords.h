#pragma once

#include <QString>

namespace vantorel {

// What the screens call this machine and its services, so every screen names them alike.
// Screens only: stored keys, log lines and what a paired phone receives keep their own words.
struct PlatformWords {
    PlatformWords() = delete;

    // The user's own machine, where usage is fetched and notifications are raised.
    static inline const QString thisComputer = QStringLiteral("このPC");
    // Notifications shown by the desktop's notification service.
    static inline const QString desktopNotifications = QStringLiteral("デスクトップ通知");
    // The Secret Service that holds the webhook URL, the API key and the pairing key.
    static inline const QString secretStore = QStringLiteral("キーリング");
    // The switch that starts the application with the user's desktop session.
    static inline const QString launchAtLogin = QStringLiteral("ログイン時に自動起動");
    // Where the desktop lets the user switch the autostart entries of applications.
    static inline const QString autostartSettings = QStringLiteral("デスクトップの自動起動設定");
    // Where Claude Code keeps its login on this platform.
    static inline const QString claudeCredentialFile = QStringLiteral("Claude Codeの認証ファイル");
    // Where the status icon sits: the panel's tray, or the fallback panel without one.
    static inline const QString tray = QStringLiteral("トレイ");
    // The local folder the cloud copy is written to.
    static inline const QString cloudFolder = QStringLiteral("同期フォルダ");
};

} // namespace vantorel
