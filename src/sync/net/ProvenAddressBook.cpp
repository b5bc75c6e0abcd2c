#include "sync/net/ProvenAddressBook.h"

#include "sync/net/ProvenAddresses.h"

namespace vantorel {

std::shared_ptr<ProvenAddresses> ProvenAddressBook::of(const QByteArray& identity)
{
    if (!m_addresses || m_identity != identity) {
        m_identity = identity;
        m_addresses = std::make_shared<ProvenAddresses>();
    }
    return m_addresses;
}

} // namespace vantorel
