#pragma once

#include <QString>

#include <array>
#include <exception>
#include <string>

namespace vantorel {

// Why no Codex reading came from the app-server. Each case has a fixed Japanese message; the
// three cases with text carry a detail from the system or the server, shortened for display.
class CodexCLIUsageError final : public std::exception
{
public:
    enum class Code { launchFailed, rpc, writeFailed, executableNotFound, processExited, timeout, unconfirmedUsageFormat };

    static constexpr std::array allCodes{Code::launchFailed,  Code::rpc,     Code::writeFailed,
                                         Code::executableNotFound, Code::processExited, Code::timeout,
                                         Code::unconfirmedUsageFormat};

    // Details longer than this are cut: they come from outside and end up in a label.
    static constexpr qsizetype maximumDetailLength = 300;

    static CodexCLIUsageError launchFailed(const QString& detail);
    static CodexCLIUsageError rpc(const QString& detail);
    static CodexCLIUsageError writeFailed(const QString& detail);
    // A case without detail.
    explicit CodexCLIUsageError(Code code);

    Code code() const { return m_code; }
    const QString& detail() const { return m_detail; }
    // The Japanese text shown to the user.
    QString message() const;
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const CodexCLIUsageError& other) const
    {
        return m_code == other.m_code && m_detail == other.m_detail;
    }

private:
    CodexCLIUsageError(Code code, const QString& detail);

    Code m_code;
    QString m_detail;
    std::string m_what;
};

// The case name ("processExited") for log lines.
QString rawValue(CodexCLIUsageError::Code code);

} // namespace vantorel
