#pragma once

#include <QtGlobal>

#include <netinet/in.h>

namespace vantorel::test {

class MemoryPskClient;

// A raw TCP peer of a listener on 127.0.0.1:`port`, from `source` (any loopback address, in network
// order) when given. Connected before it returns: the listener has it queued.
int rawPeer(quint16 port, in_addr_t source = INADDR_ANY);
// A raw peer that sends `client`'s ClientHello as soon as it has connected, as a phone does.
int helloPeer(quint16 port, MemoryPskClient& client, in_addr_t source = INADDR_ANY);
// Moves `client`'s handshake on over `peer` while the event loop runs: true once it finished,
// false once the server closed the connection or `timeoutMilliseconds` passed.
bool finishHandshake(int peer, MemoryPskClient& client, int timeoutMilliseconds);
// Sends `plain` over `client`'s session and waits for the first bytes the server answers.
QByteArray exchange(int peer, MemoryPskClient& client, const QByteArray& plain, int timeoutMilliseconds);

} // namespace vantorel::test
