#include "sync/cloud/CloudKitError.h"

namespace vantorel {

CloudKitError::CloudKitError(Code code, RetryAfter retryAfter, PartialErrors partialErrorsByItemID)
    : m_code(code)
    , m_retryAfter(std::move(retryAfter))
    , m_partialErrors(std::move(partialErrorsByItemID))
    , m_what("cloud service error " + std::to_string(static_cast<int>(code)))
{
}

} // namespace vantorel
