#include "app/viewmodel/StorageFailureText.h"

namespace vantorel {

StorageFailureText::Cause StorageFailureText::causeOf(const QString& reason)
{
    // EACCES, EPERM; ENOSPC, EDQUOT; EROFS.
    if (reason == u"Permission denied" || reason == u"Operation not permitted")
        return Cause::noPermission;
    if (reason == u"No space left on device" || reason == u"Disk quota exceeded")
        return Cause::noSpace;
    if (reason == u"Read-only file system")
        return Cause::readOnly;
    return Cause::other;
}

QString StorageFailureText::settings(const QString& reason, const QString& folder)
{
    switch (causeOf(reason)) {
    case Cause::noPermission:
        return QStringLiteral("設定フォルダ（%1）に書き込む権限がないため、設定を保存できません。"
                              "変更はこのまま保持され、書き込めるようになると保存されます。")
            .arg(folder);
    case Cause::noSpace:
        return QStringLiteral("ディスクの空き容量がないため、設定フォルダ（%1）に設定を保存できません。"
                              "変更はこのまま保持され、空きができると保存されます。")
            .arg(folder);
    case Cause::readOnly:
        return QStringLiteral("設定フォルダ（%1）が読み取り専用のため、設定を保存できません。"
                              "変更はこのまま保持され、書き込めるようになると保存されます。")
            .arg(folder);
    case Cause::other:
        break;
    }
    return QStringLiteral("設定フォルダ（%1）に設定を保存できません（%2）。"
                          "変更はこのまま保持され、書き込めるようになると保存されます。")
        .arg(folder, reason);
}

QString StorageFailureText::log(const QString& reason, const QString& folder)
{
    switch (causeOf(reason)) {
    case Cause::noPermission:
        return QStringLiteral("ログフォルダ（%1）に書き込む権限がないため、診断ログを記録できません。").arg(folder);
    case Cause::noSpace:
        return QStringLiteral("ディスクの空き容量がないため、ログフォルダ（%1）に診断ログを記録できません。").arg(folder);
    case Cause::readOnly:
        return QStringLiteral("ログフォルダ（%1）が読み取り専用のため、診断ログを記録できません。").arg(folder);
    case Cause::other:
        break;
    }
    return QStringLiteral("ログフォルダ（%1）に診断ログを記録できません（%2）。").arg(folder, reason);
}

} // namespace vantorel
