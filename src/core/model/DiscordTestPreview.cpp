#include "core/model/DiscordTestPreview.h"

#include "core/model/NotificationMessageBuilder.h"

namespace vantorel {

QString DiscordTestPreview::content(const QString& versionText)
{
    return NotificationMessageBuilder::appendingAppVersion(
        QStringLiteral("Discord通知テスト（合成データ）\n"
                       "Codex 週間枠: 残り70%\n"
                       "実際の使用量・リセット検知ではありません。\n"
                       "全員・ユーザー・ロールへのメンションは無効です。"),
        versionText);
}

} // namespace vantorel
