#pragma once

#include <QByteArray>
#include <QStringList>

namespace vantorel {

// `openssl s_client`/`s_server` as a foreign sync peer.
namespace OpensslPeer {

bool isInstalled();
// A TCP port on 127.0.0.1 that was free a moment ago, for an s_server to listen on.
quint16 freePort();
// Sync's TLS set-up on the command line: TLS 1.2, the one PSK suite, the key and the identity.
QStringList pskArguments(const QByteArray& key, const QByteArray& identity);

} // namespace OpensslPeer
} // namespace vantorel
