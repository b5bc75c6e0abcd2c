#include "sync/model/SyncDigest.h"

#include <openssl/evp.h>

#include <stdexcept>

namespace vantorel {

QByteArray SyncDigest::sha256(const QByteArray& bytes)
{
    QByteArray digest(EVP_MAX_MD_SIZE, Qt::Uninitialized);
    unsigned int length = 0;
    if (EVP_Digest(bytes.constData(), std::size_t(bytes.size()), reinterpret_cast<unsigned char*>(digest.data()),
                   &length, EVP_sha256(), nullptr)
        != 1) {
        throw std::runtime_error("SHA-256 digest failed");
    }
    digest.truncate(int(length));
    return digest;
}

} // namespace vantorel
