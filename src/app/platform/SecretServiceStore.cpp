#include "app/platform/SecretServiceStore.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVariant>
#include <QDeadlineTimer>
#include <QList>
#include <QMap>

#include <cmath>
#include <mutex>

namespace vantorel {

namespace {

const QString secretsBusName = QStringLiteral("org.freedesktop.secrets");
const QString secretsPath = QStringLiteral("/org/freedesktop/secrets");
const QString serviceInterface = QStringLiteral("org.freedesktop.Secret.Service");
const QString collectionInterface = QStringLiteral("org.freedesktop.Secret.Collection");
const QString itemInterface = QStringLiteral("org.freedesktop.Secret.Item");
const QString sessionInterface = QStringLiteral("org.freedesktop.Secret.Session");
const QString propertiesInterface = QStringLiteral("org.freedesktop.DBus.Properties");
// The path the service answers with for "no object" and "no prompt needed".
const QString nothingPath = QStringLiteral("/");

// Items were written through libsecret with this schema, which stores its name as the attribute
// "xdg:schema" and matches on it: every query and new item carries it, so old and new items are
// the same items.
const QString schemaAttribute = QStringLiteral("xdg:schema");
const QString schemaName = QStringLiteral("vantorel.monitor.GenericPassword");
const QString secretContentType = QStringLiteral("application/octet-stream");

using Attributes = QMap<QString, QString>;
using Paths = QList<QDBusObjectPath>;

void registerSecretServiceTypes()
{
    static std::once_flag once;
    std::call_once(once, [] { qDBusRegisterMetaType<Attributes>(); });
}

std::int32_t statusForSecretServiceError(const QString& name)
{
    if (name == QLatin1String("org.freedesktop.Secret.Error.IsLocked"))
        return SecretStore::Status::interactionNotAllowed;
    if (name == QLatin1String("org.freedesktop.Secret.Error.NoSuchObject"))
        return SecretStore::Status::noSuchKeychain;
    if (name == QLatin1String("org.freedesktop.Secret.Error.AlreadyExists"))
        return SecretStore::Status::duplicateItem;
    if (name.startsWith(QLatin1String("org.freedesktop.Secret.Error.")))
        return SecretStore::Status::internalComponent;
    // No bus, no provider, the provider vanished or did not answer in time.
    return SecretStore::Status::notAvailable;
}

// What identifies an item, in searches and on new items alike.
Attributes itemAttributes(const QString& service, const QString& account)
{
    return {{QStringLiteral("service"), service}, {QStringLiteral("account"), account}, {schemaAttribute, schemaName}};
}

// What a search found: items in unlocked collections, whose secrets can be read without asking
// anyone, and items behind a lock.
struct SecretSearchResult
{
    Paths unlocked;
    Paths locked;
};

// The D-Bus calls of one store operation, all within one time-out: a half-started keyring daemon
// can otherwise hold a call for the bus's full 25 s. Calls block the calling thread only.
class SecretServiceCalls
{
public:
    explicit SecretServiceCalls(double timeoutSeconds)
        : m_bus(QDBusConnection::sessionBus())
        , m_deadline(std::llround(timeoutSeconds * 1000))
    {
        registerSecretServiceTypes();
    }

    ~SecretServiceCalls()
    {
        // Closing needs no answer; the service also closes the session when the connection ends.
        if (!m_session.isEmpty())
            m_bus.send(QDBusMessage::createMethodCall(secretsBusName, m_session, sessionInterface,
                                                      QStringLiteral("Close")));
    }

    SecretServiceCalls(const SecretServiceCalls&) = delete;
    SecretServiceCalls& operator=(const SecretServiceCalls&) = delete;

    SecretSearchResult search(const QString& service, const QString& account)
    {
        const QDBusMessage reply = call(secretsPath, serviceInterface, QStringLiteral("SearchItems"),
                                        {QVariant::fromValue(itemAttributes(service, account))});
        if (reply.arguments().size() < 2)
            throw SecretStoreError(SecretStore::Status::internalComponent, QStringLiteral("malformed search answer"));
        return {qdbus_cast<Paths>(reply.arguments().at(0)), qdbus_cast<Paths>(reply.arguments().at(1))};
    }

    QByteArray secret(const QDBusObjectPath& item)
    {
        const QDBusMessage reply = call(item.path(), itemInterface, QStringLiteral("GetSecret"),
                                        {QVariant::fromValue(session())});
        if (reply.arguments().isEmpty())
            throw SecretStoreError(SecretStore::Status::ioError, QStringLiteral("no secret in the answer"));
        const auto argument = reply.arguments().at(0).value<QDBusArgument>();
        QDBusObjectPath ignoredSession;
        QByteArray parameters;
        QByteArray value;
        QString contentType;
        argument.beginStructure();
        argument >> ignoredSession >> parameters >> value >> contentType;
        argument.endStructure();
        return value;
    }

    void setSecret(const QDBusObjectPath& item, const QByteArray& value)
    {
        call(item.path(), itemInterface, QStringLiteral("SetSecret"), {secretArgument(value)});
    }

    void create(const QDBusObjectPath& collection, const QString& service, const QString& account,
                const QByteArray& value)
    {
        const QVariantMap properties{
            {QStringLiteral("org.freedesktop.Secret.Item.Label"), service},
            {QStringLiteral("org.freedesktop.Secret.Item.Attributes"),
             QVariant::fromValue(itemAttributes(service, account))},
        };
        const bool replace = true;
        const QDBusMessage reply = call(collection.path(), collectionInterface, QStringLiteral("CreateItem"),
                                        {properties, secretArgument(value), replace});
        if (reply.arguments().size() < 2)
            throw SecretStoreError(SecretStore::Status::internalComponent, QStringLiteral("malformed create answer"));
        refusePrompt(reply.arguments().at(1));
    }

    void remove(const QDBusObjectPath& item)
    {
        const QDBusMessage reply = call(item.path(), itemInterface, QStringLiteral("Delete"), {});
        if (!reply.arguments().isEmpty())
            refusePrompt(reply.arguments().at(0));
    }

    // The collection that receives new items, looked up without creating or unlocking it: both
    // would go through a prompt, which a synchronous call must never wait on.
    QDBusObjectPath collection(const QString& aliasOrPath)
    {
        if (aliasOrPath.startsWith(u'/')) {
            const Paths collections = qdbus_cast<Paths>(property(secretsPath, serviceInterface,
                                                                 QStringLiteral("Collections")));
            if (!collections.contains(QDBusObjectPath(aliasOrPath)))
                throw SecretStoreError(SecretStore::Status::noSuchKeychain, QStringLiteral("no collection ") + aliasOrPath);
            return QDBusObjectPath(aliasOrPath);
        }
        const QDBusMessage reply = call(secretsPath, serviceInterface, QStringLiteral("ReadAlias"), {aliasOrPath});
        const auto path = reply.arguments().value(0).value<QDBusObjectPath>();
        if (path.path().isEmpty() || path.path() == nothingPath)
            throw SecretStoreError(SecretStore::Status::noSuchKeychain, QStringLiteral("no collection ") + aliasOrPath);
        return path;
    }

    bool collectionLocked(const QDBusObjectPath& collection)
    {
        return property(collection.path(), collectionInterface, QStringLiteral("Locked")).toBool();
    }

private:
    QDBusMessage call(const QString& path, const QString& interface, const QString& method, const QVariantList& arguments)
    {
        if (!m_bus.isConnected())
            throw SecretStoreError(SecretStore::Status::notAvailable,
                                   QStringLiteral("no session bus: ") + m_bus.lastError().message());
        const qint64 remaining = m_deadline.remainingTime();
        if (remaining == 0)
            throw SecretStoreError(SecretStore::Status::notAvailable, QStringLiteral("timed out"));
        QDBusMessage message = QDBusMessage::createMethodCall(secretsBusName, path, interface, method);
        message.setArguments(arguments);
        const QDBusMessage reply = m_bus.call(message, QDBus::Block, int(std::max<qint64>(remaining, 1)));
        if (reply.type() != QDBusMessage::ReplyMessage)
            throw SecretStoreError(statusForSecretServiceError(reply.errorName()),
                                   method + QStringLiteral(": ") + reply.errorName() + QStringLiteral(" ")
                                       + reply.errorMessage());
        return reply;
    }

    QVariant property(const QString& path, const QString& interface, const QString& name)
    {
        const QDBusMessage reply = call(path, propertiesInterface, QStringLiteral("Get"), {interface, name});
        return reply.arguments().value(0).value<QDBusVariant>().variant();
    }

    // A session that passes secrets as they are: every program of the user can ask the service
    // for them on the same bus, so encrypting them on the way would protect nothing.
    QDBusObjectPath session()
    {
        if (m_session.isEmpty()) {
            const QDBusMessage reply = call(secretsPath, serviceInterface, QStringLiteral("OpenSession"),
                                            {QStringLiteral("plain"), QVariant::fromValue(QDBusVariant(QString()))});
            m_session = reply.arguments().value(1).value<QDBusObjectPath>().path();
            if (m_session.isEmpty())
                throw SecretStoreError(SecretStore::Status::internalComponent, QStringLiteral("no session opened"));
        }
        return QDBusObjectPath(m_session);
    }

    QVariant secretArgument(const QByteArray& value)
    {
        const QDBusObjectPath transfer = session();
        QDBusArgument argument;
        argument.beginStructure();
        argument << transfer << QByteArray() << value << secretContentType;
        argument.endStructure();
        return QVariant::fromValue(argument);
    }

    // The service asks for a prompt (to unlock or to confirm) by returning one; it shows nothing
    // until the prompt is started, which this store never does.
    static void refusePrompt(const QVariant& prompt)
    {
        const QString path = prompt.value<QDBusObjectPath>().path();
        if (!path.isEmpty() && path != nothingPath)
            throw SecretStoreError(SecretStore::Status::interactionNotAllowed, QStringLiteral("the service wants a prompt"));
    }

    QDBusConnection m_bus;
    QDeadlineTimer m_deadline;
    QString m_session;
};

} // namespace

SecretServiceStore::SecretServiceStore()
    : SecretServiceStore(Options{})
{
}

SecretServiceStore::SecretServiceStore(Options options)
    : m_options(std::move(options))
{
}

void SecretServiceStore::save(const QString& service, const QString& account, const QByteArray& value)
{
    SecretServiceCalls calls(m_options.writeTimeoutSeconds);
    // Replace an existing item where it lives, like an update; only a new item goes to the
    // configured collection.
    const SecretSearchResult existing = calls.search(service, account);
    if (!existing.unlocked.isEmpty()) {
        calls.setSecret(existing.unlocked.first(), value);
        return;
    }
    if (!existing.locked.isEmpty())
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("item is locked"));
    const QDBusObjectPath target = calls.collection(m_options.collection);
    if (calls.collectionLocked(target))
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("collection is locked"));
    calls.create(target, service, account, value);
}

void SecretServiceStore::remove(const QString& service, const QString& account)
{
    SecretServiceCalls calls(m_options.writeTimeoutSeconds);
    const SecretSearchResult items = calls.search(service, account);
    for (const QDBusObjectPath& item : items.unlocked)
        calls.remove(item);
    if (!items.locked.isEmpty())
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("item is locked"));
}

bool SecretServiceStore::contains(const QString& service, const QString& account)
{
    try {
        SecretServiceCalls calls(m_options.readTimeoutSeconds);
        const SecretSearchResult items = calls.search(service, account);
        return !items.unlocked.isEmpty() || !items.locked.isEmpty();
    } catch (const SecretStoreError&) {
        return false;
    }
}

SecretStore::ReadResult SecretServiceStore::read(const QString& service, const QString& account)
{
    try {
        SecretServiceCalls calls(m_options.readTimeoutSeconds);
        const SecretSearchResult items = calls.search(service, account);
        // Only unlocked items are read: unlocking is what would prompt.
        if (!items.unlocked.isEmpty())
            return ReadResult::found(calls.secret(items.unlocked.first()));
        if (!items.locked.isEmpty())
            return ReadResult::unavailable(Status::interactionNotAllowed);
        return ReadResult::notFound();
    } catch (const SecretStoreError& error) {
        return ReadResult::unavailable(error.status());
    }
}

} // namespace vantorel
