#pragma once

#include "core/foundation/SecretStore.h"

#include <QString>

namespace vantorel {

// SecretStore on the freedesktop Secret Service (gnome-keyring, KWallet), spoken to over the
// session bus that the application already holds: libsecret would bring GIO and its threads into
// the process for the whole of its life. Items carry the attributes "service" and "account". Nothing here ever prompts: a locked
// item reads as temporarily unavailable, writes to it (or to a locked collection) fail with
// `interactionNotAllowed`, a new item for a missing collection fails with `noSuchKeychain`, and
// a missing or silent service is `notAvailable`. Every call is bounded by a time-out, because
// a half-started keyring daemon can otherwise hold a D-Bus call for its full 25 s.
class SecretServiceStore final : public SecretStore
{
public:
    struct Options
    {
        // Reads and `contains` run in the background and must not hold their caller long.
        double readTimeoutSeconds = 5;
        double writeTimeoutSeconds = 15;
        // Alias or D-Bus object path of the collection that receives new items.
        QString collection = QStringLiteral("default");
    };

    SecretServiceStore();
    explicit SecretServiceStore(Options options);

    void save(const QString& service, const QString& account, const QByteArray& value) override;
    void remove(const QString& service, const QString& account) override;
    bool contains(const QString& service, const QString& account) override;
    ReadResult read(const QString& service, const QString& account) override;

private:
    Options m_options;
};

} // namespace vantorel
