#include "sync/model/UsageSyncError.h"

#include "core/foundation/Json.h"

namespace vantorel {

namespace {

struct CodeText
{
    const char* raw;
    const char* message;
};

constexpr std::array<CodeText, 14> codeTexts = {{
    {"invalidData", "同期データを確認できませんでした。"},
    {"unsupportedVersion", "対応していない同期形式です。両方のアプリを更新してください。"},
    {"wrongHost", "登録したMacと送信元が異なります。"},
    {"olderSnapshot", "古い同期データのため、現在の表示を維持しました。"},
    {"invitationExpired", "接続コードの有効期限が切れました。"},
    {"pairingRejected", "Macで接続が承認されませんでした。"},
    {"pairingBusy", "別の接続を確認中です。"},
    {"notPaired", "Macとの登録が解除されています。"},
    {"unavailable", "Macに接続できません。同じネットワークと連携設定を確認してください。"},
    {"timedOut", "接続がタイムアウトしました。"},
    {"cancelled", "接続を中止しました。"},
    {"keychainFailure", "接続情報を安全に保存できませんでした。"},
    {"localNetworkDenied", "ローカルネットワークが許可されていません。端末の設定を確認して再試行してください。"},
    {"authenticationFailed",
     "Macとの接続を認証できませんでした。Mac側の登録を確認し、必要なら接続し直してください。"},
}};

const CodeText& textOf(UsageSyncError::Code code)
{
    return codeTexts[static_cast<std::size_t>(code)];
}

} // namespace

UsageSyncError::UsageSyncError(Code code)
    : m_code(code)
{
}

QString UsageSyncError::message(Code code)
{
    return QString::fromUtf8(textOf(code).message);
}

const char* UsageSyncError::what() const noexcept
{
    return textOf(m_code).message;
}

QString rawValue(UsageSyncError::Code code)
{
    return QString::fromLatin1(textOf(code).raw);
}

std::optional<UsageSyncError::Code> usageSyncErrorCodeFromRaw(QStringView raw)
{
    for (const auto code : UsageSyncError::allCodes) {
        if (raw == QLatin1String(textOf(code).raw))
            return code;
    }
    return std::nullopt;
}

Json toSyncJson(const UsageSyncError& error)
{
    Json json = Json::object();
    json[textOf(error.code()).raw] = Json::object();
    return json;
}

void fromSyncJson(const Json& json, UsageSyncError& error)
{
    if (!json.is_object())
        throw JsonDecodeError("UsageSyncError: expected an object");
    const Json* value = nullptr;
    std::optional<UsageSyncError::Code> found;
    int caseKeys = 0;
    for (auto it = json.begin(); it != json.end(); ++it) {
        const auto code = usageSyncErrorCodeFromRaw(QString::fromStdString(it.key()));
        if (!code)
            continue;
        ++caseKeys;
        found = code;
        value = &it.value();
    }
    if (caseKeys != 1)
        throw JsonDecodeError("UsageSyncError: Invalid number of keys found, expected one.");
    if (!value->is_object())
        throw JsonDecodeError(std::string("UsageSyncError.") + textOf(*found).raw + ": expected an object");
    error = UsageSyncError(*found);
}

} // namespace vantorel
