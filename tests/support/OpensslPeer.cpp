#include "support/OpensslPeer.h"

#include "sync/net/PskParameters.h"

#include <QStandardPaths>
#include <QTcpServer>

namespace vantorel::OpensslPeer {

bool isInstalled()
{
    return !QStandardPaths::findExecutable(QStringLiteral("openssl")).isEmpty();
}

quint16 freePort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost, 0);
    return probe.serverPort();
}

QStringList pskArguments(const QByteArray& key, const QByteArray& identity)
{
    return {QStringLiteral("-tls1_2"),      QStringLiteral("-cipher"),
            QString::fromLatin1(PskParameters::cipherSuite), QStringLiteral("-psk"),
            QString::fromLatin1(key.toHex()), QStringLiteral("-psk_identity"),
            QString::fromLatin1(identity)};
}

} // namespace vantorel::OpensslPeer
