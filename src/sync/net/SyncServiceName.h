#pragma once

#include <QString>
#include <QUuid>

namespace vantorel {

// DNS-SD instance names of a Mac's sync listeners, derived from its host identifier.
namespace SyncServiceName {

// The ordinary listener: the canonical UUID text in lower case (36 characters).
QString registered(const QUuid& hostID);
// The pairing listener: the same followed by "-pair" (41 characters).
QString pairing(const QUuid& hostID);

} // namespace SyncServiceName
} // namespace vantorel
