#include "CloudTestSupport.h"

#include "sync/cloud/CloudKitErrorMapper.h"

#include <gtest/gtest.h>

#include <cmath>
#include <limits>
#include <stdexcept>

namespace vantorel {
namespace {

using Code = CloudKitError::Code;
using test::ck;
using test::errorName;
using test::partial;

TEST(CloudKitErrorMapper, MapsEveryKindOfFailure)
{
    const double nan = std::numeric_limits<double>::quiet_NaN();
    const double infinity = std::numeric_limits<double>::infinity();
    const struct
    {
        std::exception_ptr error;
        std::string expected;
    } rows[] = {
        {ck(Code::notAuthenticated), "notSignedIn"},
        {ck(Code::permissionFailure), "restricted"},
        {ck(Code::managedAccountRestricted), "restricted"},
        {ck(Code::badContainer), "invalidConfiguration"},
        {ck(Code::badDatabase), "invalidConfiguration"},
        {ck(Code::serverRecordChanged), "usage.olderSnapshot"},
        {partial(ck(Code::serverRecordChanged)), "usage.olderSnapshot"},
        {ck(Code::assetFileNotFound), "invalidData"},
        {ck(Code::limitExceeded), "invalidData"},
        {ck(Code::operationCancelled), "cancelled"},
        {std::make_exception_ptr(CancellationError()), "cancelled"},
        {ck(Code::quotaExceeded), "quotaExceeded"},
        {partial(ck(Code::quotaExceeded), 10.0), "quotaExceeded"},
        {partial(nullptr), "unavailable"},
        {partial(nullptr, 3.0), "retryLater(3)"},
        {partial(std::make_exception_ptr(std::runtime_error("disk")), 4.0), "retryLater(4)"},
        {ck(Code::serviceUnavailable, 12.5), "retryLater(12.5)"},
        {ck(Code::requestRateLimited, 12.5), "retryLater(12.5)"},
        {partial(ck(Code::serviceUnavailable, 30.0), 10.0), "retryLater(30)"},
        {partial(ck(Code::serviceUnavailable, 10.0), 30.0), "retryLater(30)"},
        {partial(ck(Code::serviceUnavailable, -1.0), nan), "unavailable"},
        {partial(ck(Code::serviceUnavailable, infinity), -1.0), "unavailable"},
        {ck(Code::serviceUnavailable, 0.0), "retryLater(0)"},
        {ck(Code::serviceUnavailable, QStringLiteral("5")), "unavailable"},
        {ck(static_cast<Code>(99), 2.0), "retryLater(2)"},
        {std::make_exception_ptr(CloudSyncError(CloudSyncError::Code::anotherMac)), "anotherMac"},
        {std::make_exception_ptr(UsageSyncError(UsageSyncError::Code::invalidData)), "usage.invalidData"},
        {std::make_exception_ptr(std::runtime_error("file error")), "unavailable"},
    };
    for (const auto& row : rows)
        EXPECT_EQ(errorName(CloudKitErrorMapper::map(row.error)), row.expected) << errorName(row.error);
}

TEST(CloudSyncError, RetryHintEqualityAndReauthorization)
{
    using E = CloudSyncError;
    EXPECT_EQ(E::retryLater(-0.0).retryAfterSeconds(), -0.0);
    EXPECT_FALSE(E::retryLater(std::numeric_limits<double>::infinity()).retryAfterSeconds());
    EXPECT_FALSE(E(E::Code::unavailable).retryAfterSeconds());
    EXPECT_NE(E::retryLater(5), E::retryLater(6));
    EXPECT_NE(E::retryLater(std::nan("")), E::retryLater(std::nan("")));
    EXPECT_TRUE(E(E::Code::accountChanged).requiresReauthorization());
    EXPECT_FALSE(E(E::Code::restricted).requiresReauthorization());
}

} // namespace
} // namespace vantorel
