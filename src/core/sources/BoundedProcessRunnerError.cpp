#include "core/sources/BoundedProcessRunnerError.h"

namespace vantorel {

namespace {

const char* caseName(BoundedProcessRunnerError::Code code)
{
    using Code = BoundedProcessRunnerError::Code;
    switch (code) {
    case Code::launchFailed:
        return "launchFailed";
    case Code::timedOut:
        return "timedOut";
    case Code::outputLimitExceeded:
        return "outputLimitExceeded";
    case Code::outputReadFailed:
        return "outputReadFailed";
    }
    return "";
}

} // namespace

BoundedProcessRunnerError::BoundedProcessRunnerError(Code code, QString reason)
    : m_code(code)
    , m_reason(std::move(reason))
    , m_what(caseName(code))
{
    if (!m_reason.isEmpty())
        m_what += ": " + m_reason.toStdString();
}

BoundedProcessRunnerError::BoundedProcessRunnerError(Code code)
    : BoundedProcessRunnerError(code, QString())
{
}

BoundedProcessRunnerError BoundedProcessRunnerError::launchFailed(QString reason)
{
    return BoundedProcessRunnerError(Code::launchFailed, std::move(reason));
}

} // namespace vantorel
