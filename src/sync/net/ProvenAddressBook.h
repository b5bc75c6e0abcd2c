#pragma once

#include <QByteArray>

#include <memory>

namespace vantorel {

class ProvenAddresses;

// Where the registered device proved its key from, kept for as long as it stays registered: every
// wake from sleep, sync toggle or restart of the sync server makes new listeners for it, and each
// gets the same set. A device registered anew (a new credential) starts with none.
class ProvenAddressBook
{
public:
    // The set of the device whose credential has `identity`; the set of another identity is
    // forgotten.
    std::shared_ptr<ProvenAddresses> of(const QByteArray& identity);

private:
    QByteArray m_identity;
    std::shared_ptr<ProvenAddresses> m_addresses;
};

} // namespace vantorel
