#pragma once

#include <QString>

#include <exception>
#include <string>

namespace vantorel {

// Why a bounded child-process run produced no output. Cancellation is a CancellationError.
class BoundedProcessRunnerError final : public std::exception
{
public:
    enum class Code { launchFailed, timedOut, outputLimitExceeded, outputReadFailed };

    // The program could not be started; `reason` says why (missing, not executable...).
    static BoundedProcessRunnerError launchFailed(QString reason);
    explicit BoundedProcessRunnerError(Code code);

    Code code() const { return m_code; }
    // The reason of launchFailed, or of outputReadFailed when the system gave one.
    const QString& reason() const { return m_reason; }
    const char* what() const noexcept override { return m_what.c_str(); }

    bool operator==(const BoundedProcessRunnerError& other) const
    {
        return m_code == other.m_code && m_reason == other.m_reason;
    }

private:
    BoundedProcessRunnerError(Code code, QString reason);

    Code m_code;
    QString m_reason;
    std::string m_what;
};

} // namespace vantorel
