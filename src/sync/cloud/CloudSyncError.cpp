#include "sync/cloud/CloudSyncError.h"

#include <array>
#include <cmath>
#include <cstddef>

namespace vantorel {

namespace {

constexpr std::array<const char*, 10> messages = {
    "iCloudが混み合っています。しばらく待ってからお試しください。",
    "iCloudにサインインしてください。",
    "このApple AccountではiCloud同期を利用できません。",
    "Apple Accountが変わりました。iCloud同期をもう一度有効にしてください。",
    "iCloudに同期データがありません。MacでiCloud同期を有効にしてください。",
    "別のMacの同期データがあります。送信元を変えるには先に削除してください。",
    "iCloudに接続できません。通信環境を確認して、あとでお試しください。",
    "iCloud同期の設定を確認できません。アプリの更新を確認してください。",
    "iCloudの空き容量が不足しています。",
    "iCloudの同期データを確認できませんでした。",
};

// Names the entry so the user can find it; not a network failure, so no advice to retry.
constexpr const char* damagedLocalEntryText = "このPCの同期フォルダーの「%1」が正しくありません。確認してください。";

} // namespace

CloudSyncError::CloudSyncError(Code code)
    : m_code(code)
{
}

CloudSyncError CloudSyncError::retryLater(double seconds)
{
    CloudSyncError error(Code::retryLater);
    error.m_seconds = seconds;
    return error;
}

CloudSyncError CloudSyncError::damagedLocalEntry(const QString& path)
{
    CloudSyncError error(Code::invalidData);
    error.m_localEntry = path;
    error.m_what = QString::fromUtf8(damagedLocalEntryText).arg(path).toStdString();
    return error;
}

QString CloudSyncError::message() const
{
    return QString::fromUtf8(what());
}

const char* CloudSyncError::what() const noexcept
{
    if (!m_localEntry.isEmpty())
        return m_what.c_str();
    return messages[static_cast<std::size_t>(m_code)];
}

bool CloudSyncError::requiresReauthorization() const
{
    return m_code == Code::notSignedIn || m_code == Code::accountChanged;
}

std::optional<double> CloudSyncError::retryAfterSeconds() const
{
    if (m_code != Code::retryLater || !std::isfinite(m_seconds) || m_seconds < 0)
        return std::nullopt;
    return m_seconds;
}

bool CloudSyncError::operator==(const CloudSyncError& other) const
{
    return m_code == other.m_code && m_localEntry == other.m_localEntry
        && (m_code != Code::retryLater || m_seconds == other.m_seconds);
}

} // namespace vantorel
