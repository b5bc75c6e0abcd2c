#pragma once

#include <QByteArray>
#include <QString>

#include <optional>

namespace vantorel {

// The Authorization value for a secret that came from outside (the keychain, a credential
// file): surrounding white space is dropped, and a secret that is then empty or holds anything
// but visible ASCII is refused, so it can never split or forge a header.
struct BearerToken
{
    // "Bearer <token>", or nullopt when the token cannot be sent.
    static std::optional<QByteArray> authorization(const QString& token);
};

} // namespace vantorel
