#include "app/platform/ClaudeCodeTokenStoreError.h"
#include "app/platform/ClaudeUsageFailure.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/HttpError.h"
#include "core/foundation/Json.h"
#include "core/foundation/SecretStore.h"
#include "core/foundation/TimeoutError.h"
#include "core/sources/ClaudeUsageServiceError.h"

#include <gtest/gtest.h>

#include <functional>
#include <set>
#include <stdexcept>

namespace vantorel {
namespace {

struct ClassText
{
    ClaudeUsageFailure failure;
    const char* raw;
    QStringView message;
    bool needsRecovery;
};

// The user-visible texts, copied independently of the implementation.
const ClassText classTexts[] = {
    {ClaudeUsageFailure::communication, "communication", u"Claudeとの通信を確認できません。「Claudeを更新」で再試行してください。再ログインは不要です。", false},
    {ClaudeUsageFailure::rateLimited, "rateLimited", u"Claudeの取得がレート制限中です。待機期限後の更新で再試行できます。再ログインは不要です。", false},
    {ClaudeUsageFailure::accessDenied, "accessDenied", u"Claudeの使用量への利用権限を確認できません。「Claudeの使用量を確認」で契約・利用状態を確認してください。認証切れとは断定できません。", false},
    {ClaudeUsageFailure::credentialExpired, "credentialExpired", u"Claudeのアクセストークンの更新待ちです。ログイン全体の失効とは限りません。Claude Codeを開いて認証を確認できます。更新されない場合はブラウザで再ログインしてください。", true},
    {ClaudeUsageFailure::reauthenticationRequired, "reauthenticationRequired", u"Claudeの保存済み認証が受け付けられません。「Claude認証」で再確認してください。必要な場合だけ公式ログインを開きます。", true},
    {ClaudeUsageFailure::unsupportedStorage, "unsupportedStorage", u"Claudeの保存構成をこのアプリでは確認できません。未ログインとは限りません。「保存構成を確認」でClaude Codeの公式案内を確認してください。", false},
    {ClaudeUsageFailure::keychainPermission, "keychainPermission", u"Claude Codeの認証ファイルを時間内に読み取れませんでした。「認証を再読込」で再試行してください。再ログインは不要です。", false},
    {ClaudeUsageFailure::keychainUnavailable, "keychainUnavailable", u"Claude Codeの認証ファイルがないか、読み取れませんでした。Claude Codeでログインしてから「認証を再読込」を押してください。", false},
    {ClaudeUsageFailure::responseFormat, "responseFormat", u"Claudeの使用量の応答形式に対応できません。「Claudeの使用量を確認」で提供元の表示を確認してください。再ログインは不要です。", false},
    {ClaudeUsageFailure::serviceUnavailable, "serviceUnavailable", u"Claudeの使用量を取得できません。「Claudeを更新」で再試行してください。", false},
};

TEST(ClaudeUsageFailureTest, EveryClassHasItsMessageAndRecoveryFlag)
{
    ASSERT_EQ(std::size(classTexts), allClaudeUsageFailures.size());
    for (std::size_t i = 0; i < std::size(classTexts); ++i) {
        const auto& row = classTexts[i];
        SCOPED_TRACE(row.raw);
        EXPECT_EQ(allClaudeUsageFailures[i], row.failure) << "declaration order";
        EXPECT_EQ(message(row.failure), row.message.toString());
        EXPECT_EQ(needsCredentialRecovery(row.failure), row.needsRecovery);
    }
}

struct ErrorCase
{
    const char* name;
    std::function<std::exception_ptr()> make;
    ClaudeUsageFailure expected;
};

template <typename E>
std::function<std::exception_ptr()> raise(E error)
{
    return [error] { return std::make_exception_ptr(error); };
}

std::vector<ErrorCase> errorCases()
{
    using Store = ClaudeCodeTokenStoreError;
    using Service = ClaudeUsageServiceError;
    using F = ClaudeUsageFailure;
    std::vector<ErrorCase> cases{
        {"store decodingFailed", raise(Store::decodingFailed()), F::unsupportedStorage},
        {"store tokenExpired", raise(Store::tokenExpired(Date(1000.0))), F::credentialExpired},
        {"store tokenMissing", raise(Store(Store::Code::tokenMissing)), F::unsupportedStorage},
        {"store keychainTimedOut", raise(Store(Store::Code::keychainTimedOut)), F::keychainPermission},
        {"store keychainPermissionDenied", raise(Store(Store::Code::keychainPermissionDenied)), F::keychainPermission},
        {"store keychainReadFailed", raise(Store(Store::Code::keychainReadFailed)), F::keychainUnavailable},
        {"store signedOut", raise(Store(Store::Code::signedOut)), F::reauthenticationRequired},
        {"usage rateLimited with wait", raise(Service::rateLimited(120.0)), F::rateLimited},
        {"usage rateLimited without wait", raise(Service::rateLimited(std::nullopt)), F::rateLimited},
        {"usage 403", raise(Service::badHTTPStatus(403)), F::accessDenied},
        {"usage 500", raise(Service::badHTTPStatus(500)), F::serviceUnavailable},
        {"usage 401 as status", raise(Service::badHTTPStatus(401)), F::serviceUnavailable},
        {"usage emptyAccessToken", raise(Service(Service::Code::emptyAccessToken)), F::unsupportedStorage},
        {"usage invalidResponse", raise(Service(Service::Code::invalidResponse)), F::responseFormat},
        {"usage unauthorized", raise(Service(Service::Code::unauthorized)), F::reauthenticationRequired},
        {"usage missingUsageBuckets", raise(Service(Service::Code::missingUsageBuckets)), F::responseFormat},
        {"json decode error", raise(JsonDecodeError("bad")), F::responseFormat},
        {"json library error", [] {
             try {
                 [[maybe_unused]] const Json value = Json::parse("{");
             } catch (...) {
                 return std::current_exception();
             }
             return std::exception_ptr();
         },
         F::responseFormat},
        {"keychain authentication failed", raise(SecretStoreError(-25293)), F::keychainPermission},
        {"keychain interaction not allowed", raise(SecretStoreError(SecretStore::Status::interactionNotAllowed)), F::keychainPermission},
        {"keychain user cancelled", raise(SecretStoreError(SecretStore::Status::userCanceled)), F::keychainPermission},
        {"keychain item not found", raise(SecretStoreError(SecretStore::Status::itemNotFound)), F::keychainUnavailable},
        {"keychain not available", raise(SecretStoreError(SecretStore::Status::notAvailable)), F::keychainUnavailable},
        {"bare time-out", raise(TimeoutError()), F::serviceUnavailable},
        {"runtime error", raise(std::runtime_error("x")), F::serviceUnavailable},
        {"non-standard exception", [] { return std::make_exception_ptr(42); }, F::serviceUnavailable},
        {"no error", [] { return std::exception_ptr(); }, F::serviceUnavailable},
    };
    // Every transport failure is a communication problem, whatever its kind.
    for (auto kind : {HttpError::Kind::notConnectedToInternet, HttpError::Kind::cannotFindHost,
                      HttpError::Kind::cannotConnectToHost, HttpError::Kind::dnsLookupFailed,
                      HttpError::Kind::secureConnectionFailed, HttpError::Kind::timedOut, HttpError::Kind::cancelled,
                      HttpError::Kind::networkConnectionLost, HttpError::Kind::responseTooLarge, HttpError::Kind::other})
        cases.push_back({"transport", raise(HttpError(kind, QStringLiteral("detail"))), F::communication});
    return cases;
}

TEST(ClaudeUsageFailureTest, ClassifiesEveryErrorOfStoreClientAndTransport)
{
    std::set<ClaudeUsageServiceError::Code> serviceCodes;
    std::set<ClaudeCodeTokenStoreError::Code> storeCodes;
    for (const auto& row : errorCases()) {
        SCOPED_TRACE(row.name);
        const auto error = row.make();
        EXPECT_EQ(classifyClaudeUsageFailure(error), row.expected);
        try {
            if (error)
                std::rethrow_exception(error);
        } catch (const ClaudeUsageServiceError& failure) {
            serviceCodes.insert(failure.code());
        } catch (const ClaudeCodeTokenStoreError& failure) {
            storeCodes.insert(failure.code());
            // The store's own description is the message of its class.
            EXPECT_EQ(failure.message(), message(row.expected));
        } catch (...) {
        }
    }
    EXPECT_EQ(serviceCodes.size(), ClaudeUsageServiceError::allCodes.size());
    EXPECT_EQ(storeCodes.size(), ClaudeCodeTokenStoreError::allCodes.size());
}

TEST(ClaudeUsageFailureTest, CancellationIsNoFailureAndPassesThrough)
{
    EXPECT_THROW(classifyClaudeUsageFailure(std::make_exception_ptr(CancellationError())), CancellationError);
}

} // namespace
} // namespace vantorel
