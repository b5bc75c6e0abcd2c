#include "core/sources/CodexCLIUsageError.h"

#include "core/model/CodexPeriodValidation.h"

namespace vantorel {

namespace {

QString shortened(const QString& detail)
{
    QString text = detail.simplified();
    if (text.size() > CodexCLIUsageError::maximumDetailLength) {
        qsizetype cut = CodexCLIUsageError::maximumDetailLength;
        if (text.at(cut - 1).isHighSurrogate())
            --cut;
        text = text.left(cut) + QStringLiteral("…");
    }
    return text;
}

} // namespace

CodexCLIUsageError::CodexCLIUsageError(Code code, const QString& detail)
    : m_code(code)
    , m_detail(shortened(detail))
{
    m_what = message().toStdString();
}

CodexCLIUsageError::CodexCLIUsageError(Code code)
    : CodexCLIUsageError(code, QString())
{
}

CodexCLIUsageError CodexCLIUsageError::launchFailed(const QString& detail)
{
    return CodexCLIUsageError(Code::launchFailed, detail);
}

CodexCLIUsageError CodexCLIUsageError::rpc(const QString& detail)
{
    return CodexCLIUsageError(Code::rpc, detail);
}

CodexCLIUsageError CodexCLIUsageError::writeFailed(const QString& detail)
{
    return CodexCLIUsageError(Code::writeFailed, detail);
}

QString CodexCLIUsageError::message() const
{
    switch (m_code) {
    case Code::launchFailed:
        return QStringLiteral("Codex CLIを起動できませんでした: ") + m_detail;
    case Code::rpc:
        return QStringLiteral("Codex CLIがエラーを返しました: ") + m_detail;
    case Code::writeFailed:
        return QStringLiteral("Codex CLIへの送信に失敗しました: ") + m_detail;
    case Code::executableNotFound:
        return QStringLiteral("Codex CLIが見つかりません。設定で実行ファイルのパスを指定してください。");
    case Code::processExited:
        return QStringLiteral("Codex CLIが応答する前に終了しました。");
    case Code::timeout:
        return QStringLiteral("Codex CLIの応答がタイムアウトしました。");
    case Code::unconfirmedUsageFormat:
        return CodexPeriodValidation::unconfirmedMessage();
    }
    return {};
}

QString rawValue(CodexCLIUsageError::Code code)
{
    using Code = CodexCLIUsageError::Code;
    switch (code) {
    case Code::launchFailed:
        return QStringLiteral("launchFailed");
    case Code::rpc:
        return QStringLiteral("rpc");
    case Code::writeFailed:
        return QStringLiteral("writeFailed");
    case Code::executableNotFound:
        return QStringLiteral("executableNotFound");
    case Code::processExited:
        return QStringLiteral("processExited");
    case Code::timeout:
        return QStringLiteral("timeout");
    case Code::unconfirmedUsageFormat:
        return QStringLiteral("unconfirmedUsageFormat");
    }
    return {};
}

} // namespace vantorel
