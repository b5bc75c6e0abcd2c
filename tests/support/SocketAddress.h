#pragma once

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>

namespace vantorel::test {

// The socket address of an IPv4 or IPv6 address written as text, as accept() gives a peer's.
inline sockaddr_storage socketAddress(const char* text)
{
    sockaddr_storage storage{};
    if (::inet_pton(AF_INET, text, &reinterpret_cast<sockaddr_in&>(storage).sin_addr) == 1) {
        storage.ss_family = AF_INET;
    } else {
        EXPECT_EQ(::inet_pton(AF_INET6, text, &reinterpret_cast<sockaddr_in6&>(storage).sin6_addr), 1) << text;
        storage.ss_family = AF_INET6;
    }
    return storage;
}

} // namespace vantorel::test
