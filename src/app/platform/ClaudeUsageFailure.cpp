#include "app/platform/ClaudeUsageFailure.h"

#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/Json.h"
#include "core/foundation/SecretStore.h"
#include "core/model/EnumNames.h"
#include "core/sources/ClaudeUsageServiceError.h"

namespace vantorel {

namespace {

constexpr std::array<QStringView, 10> claudeUsageFailureNames{
    u"communication",      u"rateLimited",         u"accessDenied",   u"credentialExpired",
    u"reauthenticationRequired", u"unsupportedStorage", u"keychainPermission", u"keychainUnavailable",
    u"responseFormat",     u"serviceUnavailable",
};

ClaudeUsageFailure classify(const ClaudeCodeTokenStoreError& error)
{
    using Code = ClaudeCodeTokenStoreError::Code;
    switch (error.code()) {
    case Code::decodingFailed:
    case Code::tokenMissing:
        return ClaudeUsageFailure::unsupportedStorage;
    case Code::tokenExpired:
        return ClaudeUsageFailure::credentialExpired;
    // A read that hangs is more likely a permission prompt than a missing login.
    case Code::keychainTimedOut:
    case Code::keychainPermissionDenied:
        return ClaudeUsageFailure::keychainPermission;
    case Code::keychainReadFailed:
        return ClaudeUsageFailure::keychainUnavailable;
    case Code::signedOut:
        return ClaudeUsageFailure::reauthenticationRequired;
    }
    return ClaudeUsageFailure::serviceUnavailable;
}

ClaudeUsageFailure classify(const ClaudeUsageServiceError& error)
{
    using Code = ClaudeUsageServiceError::Code;
    switch (error.code()) {
    case Code::rateLimited:
        return ClaudeUsageFailure::rateLimited;
    case Code::badHTTPStatus:
        return error.statusCode() == 403 ? ClaudeUsageFailure::accessDenied : ClaudeUsageFailure::serviceUnavailable;
    case Code::emptyAccessToken:
        return ClaudeUsageFailure::unsupportedStorage;
    case Code::invalidResponse:
    case Code::missingUsageBuckets:
        return ClaudeUsageFailure::responseFormat;
    case Code::unauthorized:
        return ClaudeUsageFailure::reauthenticationRequired;
    }
    return ClaudeUsageFailure::serviceUnavailable;
}

// A secret-store status in the keychain's numbering: the ones that mean "not allowed now".
ClaudeUsageFailure classify(const SecretStoreError& error)
{
    constexpr std::int32_t authenticationFailed = -25293;
    switch (error.status()) {
    case authenticationFailed:
    case SecretStore::Status::interactionNotAllowed:
    case SecretStore::Status::userCanceled:
        return ClaudeUsageFailure::keychainPermission;
    default:
        return ClaudeUsageFailure::keychainUnavailable;
    }
}

} // namespace

QString rawValue(ClaudeUsageFailure failure)
{
    return enumnames::name(claudeUsageFailureNames, failure);
}

std::optional<ClaudeUsageFailure> claudeUsageFailureFromRaw(const QString& raw)
{
    return enumnames::parse<ClaudeUsageFailure>(claudeUsageFailureNames, raw);
}

QString message(ClaudeUsageFailure failure)
{
    switch (failure) {
    case ClaudeUsageFailure::communication:
        return QStringLiteral("Claudeとの通信を確認できません。「Claudeを更新」で再試行してください。再ログインは不要です。");
    case ClaudeUsageFailure::rateLimited:
        return QStringLiteral("Claudeの取得がレート制限中です。待機期限後の更新で再試行できます。再ログインは不要です。");
    case ClaudeUsageFailure::accessDenied:
        return QStringLiteral("Claudeの使用量への利用権限を確認できません。「Claudeの使用量を確認」で契約・利用状態を確認してください。"
                              "認証切れとは断定できません。");
    case ClaudeUsageFailure::credentialExpired:
        return QStringLiteral("Claudeのアクセストークンの更新待ちです。ログイン全体の失効とは限りません。Claude Codeを開いて認証を確認できます。"
                              "更新されない場合はブラウザで再ログインしてください。");
    case ClaudeUsageFailure::reauthenticationRequired:
        return QStringLiteral("Claudeの保存済み認証が受け付けられません。「Claude認証」で再確認してください。必要な場合だけ公式ログインを開きます。");
    case ClaudeUsageFailure::unsupportedStorage:
        return QStringLiteral("Claudeの保存構成をこのアプリでは確認できません。未ログインとは限りません。"
                              "「保存構成を確認」でClaude Codeの公式案内を確認してください。");
    case ClaudeUsageFailure::keychainPermission:
        return QStringLiteral("Claude Codeの認証ファイルを時間内に読み取れませんでした。「認証を再読込」で再試行してください。再ログインは不要です。");
    case ClaudeUsageFailure::keychainUnavailable:
        // Here the credential is a file: missing means Claude Code was never logged in on this account.
        return QStringLiteral("Claude Codeの認証ファイルがないか、読み取れませんでした。Claude Codeでログインしてから「認証を再読込」を押してください。");
    case ClaudeUsageFailure::responseFormat:
        return QStringLiteral("Claudeの使用量の応答形式に対応できません。「Claudeの使用量を確認」で提供元の表示を確認してください。再ログインは不要です。");
    case ClaudeUsageFailure::serviceUnavailable:
        return QStringLiteral("Claudeの使用量を取得できません。「Claudeを更新」で再試行してください。");
    }
    return message(ClaudeUsageFailure::serviceUnavailable);
}

bool needsCredentialRecovery(ClaudeUsageFailure failure)
{
    return failure == ClaudeUsageFailure::credentialExpired || failure == ClaudeUsageFailure::reauthenticationRequired;
}

ClaudeUsageFailure classifyClaudeUsageFailure(const std::exception_ptr& error)
{
    if (!error)
        return ClaudeUsageFailure::serviceUnavailable;
    try {
        std::rethrow_exception(error);
    } catch (const CancellationError&) {
        throw;
    } catch (const ClaudeCodeTokenStoreError& failure) {
        return classify(failure);
    } catch (const ClaudeUsageServiceError& failure) {
        return classify(failure);
    } catch (const JsonDecodeError&) {
        return ClaudeUsageFailure::responseFormat;
    } catch (const Json::exception&) {
        return ClaudeUsageFailure::responseFormat;
    } catch (const HttpError&) {
        return ClaudeUsageFailure::communication;
    } catch (const SecretStoreError& failure) {
        return classify(failure);
    } catch (...) {
        return ClaudeUsageFailure::serviceUnavailable;
    }
}

} // namespace vantorel
