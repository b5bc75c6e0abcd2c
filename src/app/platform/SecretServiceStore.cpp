#include "app/platform/SecretServiceStore.h"

// GLib headers use "signals" as an identifier, which Qt defines as a macro.
#pragma push_macro("signals")
#undef signals
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <dlfcn.h>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <memory>
#include <mutex>
#include <thread>

namespace vantorel {

namespace {

// libsecret, with GIO, libgcrypt and libmount behind it, costs several milliseconds of symbol
// binding at every start, so it is opened on the first call to the store instead (on the keychain
// thread). The declarations still come from its headers.
struct SecretLibrary
{
#define VANTOREL_SECRET_FUNCTIONS(X)                                                                                   \
    X(g_cancellable_cancel) X(g_cancellable_new) X(g_dbus_error_quark) X(g_dbus_proxy_get_object_path) X(g_error_free) \
    X(g_hash_table_unref) X(g_io_error_quark) X(g_list_free_full) X(g_object_ref) X(g_object_unref)                   \
    X(secret_attributes_build) X(secret_collection_for_alias_sync) X(secret_collection_get_locked)                     \
    X(secret_error_get_quark) X(secret_item_create_sync) X(secret_item_delete_sync) X(secret_item_get_locked)          \
    X(secret_item_get_secret) X(secret_item_set_secret_sync) X(secret_service_get_collections)                       \
    X(secret_service_get_sync) X(secret_service_load_collections_sync) X(secret_service_search_sync)                  \
    X(secret_value_get) X(secret_value_new) X(secret_value_unref)
#define VANTOREL_SECRET_POINTER(name) decltype(&::name) name = nullptr;
    VANTOREL_SECRET_FUNCTIONS(VANTOREL_SECRET_POINTER)
#undef VANTOREL_SECRET_POINTER

    // Why the library or one of its functions could not be found; empty when all were.
    QString missing;
};

SecretLibrary openSecretLibrary()
{
    SecretLibrary library;
    // Never closed: GLib's types and threads stay registered for the life of the process.
    void* handle = dlopen("libsecret-1.so.0", RTLD_NOW | RTLD_LOCAL);
    if (!handle) {
        library.missing = QString::fromLocal8Bit(dlerror());
        return library;
    }
#define VANTOREL_SECRET_LOOKUP(name)                                                                                   \
    library.name = reinterpret_cast<decltype(&::name)>(dlsym(handle, #name));                                         \
    if (!library.name && library.missing.isEmpty())                                                                    \
        library.missing = QStringLiteral(#name);
    VANTOREL_SECRET_FUNCTIONS(VANTOREL_SECRET_LOOKUP)
#undef VANTOREL_SECRET_LOOKUP
#undef VANTOREL_SECRET_FUNCTIONS
    // Registers the Secret Service's D-Bus error names so that they arrive as SECRET_ERROR.
    if (library.missing.isEmpty())
        (void)library.secret_error_get_quark();
    return library;
}

// The opened library; throws when it cannot be used, which reads as no keychain.
const SecretLibrary& library()
{
    static const SecretLibrary opened = openSecretLibrary();
    if (!opened.missing.isEmpty())
        throw SecretStoreError(SecretStore::Status::notAvailable, QStringLiteral("libsecret: ") + opened.missing);
    return opened;
}

const SecretSchema* schema()
{
    static const SecretSchema genericPassword = {
        "vantorel.monitor.GenericPassword",
        SECRET_SCHEMA_NONE,
        {
            {"service", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {"account", SECRET_SCHEMA_ATTRIBUTE_STRING},
            {nullptr, SECRET_SCHEMA_ATTRIBUTE_STRING},
        },
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &genericPassword;
}

struct GObjectDeleter
{
    void operator()(gpointer object) const { library().g_object_unref(object); }
};
struct GErrorDeleter
{
    void operator()(GError* error) const { library().g_error_free(error); }
};
struct HashTableDeleter
{
    void operator()(GHashTable* table) const { library().g_hash_table_unref(table); }
};
struct SecretValueDeleter
{
    void operator()(SecretValue* value) const { library().secret_value_unref(value); }
};
struct ItemListDeleter
{
    void operator()(GList* items) const { library().g_list_free_full(items, library().g_object_unref); }
};

using ServicePointer = std::unique_ptr<SecretService, GObjectDeleter>;
using ErrorPointer = std::unique_ptr<GError, GErrorDeleter>;
using AttributesPointer = std::unique_ptr<GHashTable, HashTableDeleter>;
using ValuePointer = std::unique_ptr<SecretValue, SecretValueDeleter>;
// A list of object references (items or collections).
using ItemList = std::unique_ptr<GList, ItemListDeleter>;
using CollectionPointer = std::unique_ptr<SecretCollection, GObjectDeleter>;
using ItemPointer = std::unique_ptr<SecretItem, GObjectDeleter>;

// Cancels the calls it is passed to once the time-out has passed. The watchdog thread sleeps on a
// condition variable, so a call that returns in time costs one wake-up and no waiting.
class Deadline
{
public:
    explicit Deadline(double seconds)
        : m_cancellable(library().g_cancellable_new())
        , m_watchdog([this, seconds] { watch(seconds); })
    {
    }

    ~Deadline()
    {
        {
            const std::lock_guard guard(m_mutex);
            m_finished = true;
        }
        m_wake.notify_all();
        m_watchdog.join();
        library().g_object_unref(m_cancellable);
    }

    Deadline(const Deadline&) = delete;
    Deadline& operator=(const Deadline&) = delete;

    GCancellable* cancellable() const { return m_cancellable; }
    bool expired() const { return m_expired; }

private:
    void watch(double seconds)
    {
        std::unique_lock lock(m_mutex);
        const auto limit = std::chrono::duration<double>(seconds);
        if (m_wake.wait_for(lock, limit, [this] { return m_finished; }))
            return;
        m_expired = true;
        lock.unlock();
        library().g_cancellable_cancel(m_cancellable);
    }

    GCancellable* m_cancellable;
    std::mutex m_mutex;
    std::condition_variable m_wake;
    bool m_finished = false;
    std::atomic<bool> m_expired = false;
    std::thread m_watchdog;
};

std::int32_t statusFor(const GError* error, const Deadline& deadline)
{
    if (deadline.expired())
        return SecretStore::Status::notAvailable;
    if (!error)
        return SecretStore::Status::internalComponent;
    if (error->domain == library().secret_error_get_quark()) {
        switch (error->code) {
        case SECRET_ERROR_IS_LOCKED:
            return SecretStore::Status::interactionNotAllowed;
        case SECRET_ERROR_NO_SUCH_OBJECT:
            return SecretStore::Status::noSuchKeychain;
        case SECRET_ERROR_ALREADY_EXISTS:
            return SecretStore::Status::duplicateItem;
        default:
            return SecretStore::Status::internalComponent;
        }
    }
    if (error->domain == library().g_io_error_quark() && error->code == G_IO_ERROR_CANCELLED)
        return SecretStore::Status::userCanceled;
    // No bus, no provider, the provider vanished or did not answer.
    if (error->domain == library().g_dbus_error_quark() || error->domain == library().g_io_error_quark())
        return SecretStore::Status::notAvailable;
    return SecretStore::Status::internalComponent;
}

[[noreturn]] void fail(GError* rawError, const Deadline& deadline)
{
    const ErrorPointer error(rawError);
    throw SecretStoreError(statusFor(error.get(), deadline),
                           error ? QString::fromUtf8(error->message) : QStringLiteral("no error detail"));
}

AttributesPointer attributes(const QString& service, const QString& account)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    return AttributesPointer(library().secret_attributes_build(schema(), "service", serviceBytes.constData(), "account",
                                                     accountBytes.constData(), nullptr));
}

// The shared service connection; sessions for secret transfer are opened on demand by the calls
// that need them.
ServicePointer connect(const Deadline& deadline)
{
    GError* error = nullptr;
    ServicePointer service(library().secret_service_get_sync(SECRET_SERVICE_NONE, deadline.cancellable(), &error));
    if (!service)
        fail(error, deadline);
    return service;
}

ItemList search(SecretService* service, GHashTable* attributes, SecretSearchFlags flags, const Deadline& deadline)
{
    GError* error = nullptr;
    ItemList items(library().secret_service_search_sync(service, schema(), attributes, flags, deadline.cancellable(), &error));
    if (error)
        fail(error, deadline);
    return items;
}

// The collection that receives new items, looked up without creating or unlocking it: both would
// go through a prompt, which a synchronous call must never wait on.
CollectionPointer collection(SecretService* service, const QString& aliasOrPath, const Deadline& deadline)
{
    const QByteArray name = aliasOrPath.toUtf8();
    GError* error = nullptr;
    SecretCollection* found = nullptr;
    if (name.startsWith('/')) {
        if (!library().secret_service_load_collections_sync(service, deadline.cancellable(), &error))
            fail(error, deadline);
        const ItemList collections(library().secret_service_get_collections(service));
        for (GList* node = collections.get(); node && !found; node = node->next) {
            if (name == library().g_dbus_proxy_get_object_path(static_cast<GDBusProxy*>(node->data)))
                found = static_cast<SecretCollection*>((library().g_object_ref)(node->data));
        }
    } else {
        found = library().secret_collection_for_alias_sync(service, name.constData(), SECRET_COLLECTION_NONE,
                                                 deadline.cancellable(), &error);
        if (error)
            fail(error, deadline);
    }
    if (!found)
        throw SecretStoreError(SecretStore::Status::noSuchKeychain, QStringLiteral("no collection ") + aliasOrPath);
    return CollectionPointer(found);
}

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
    const Deadline deadline(m_options.writeTimeoutSeconds);
    const ServicePointer secretService = connect(deadline);
    const AttributesPointer query = attributes(service, account);
    const ValuePointer secret(library().secret_value_new(value.constData(), value.size(), "application/octet-stream"));

    // Replace an existing item where it lives, like an update; only a new item goes to the
    // configured collection.
    const ItemList existing = search(secretService.get(), query.get(), SECRET_SEARCH_NONE, deadline);
    GError* error = nullptr;
    if (existing) {
        auto* item = static_cast<SecretItem*>(existing->data);
        if (library().secret_item_get_locked(item))
            throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("item is locked"));
        if (!library().secret_item_set_secret_sync(item, secret.get(), deadline.cancellable(), &error))
            fail(error, deadline);
        return;
    }
    // Not secret_service_store: it answers a locked or missing collection with an unlock or
    // create prompt.
    const CollectionPointer target = collection(secretService.get(), m_options.collection, deadline);
    if (library().secret_collection_get_locked(target.get()))
        throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("collection is locked"));
    const QByteArray label = service.toUtf8();
    const ItemPointer created(library().secret_item_create_sync(target.get(), schema(), query.get(), label.constData(),
                                                      secret.get(), SECRET_ITEM_CREATE_REPLACE,
                                                      deadline.cancellable(), &error));
    if (!created)
        fail(error, deadline);
}

void SecretServiceStore::remove(const QString& service, const QString& account)
{
    const Deadline deadline(m_options.writeTimeoutSeconds);
    const ServicePointer secretService = connect(deadline);
    const AttributesPointer query = attributes(service, account);
    const ItemList items = search(secretService.get(), query.get(), SECRET_SEARCH_ALL, deadline);
    for (GList* node = items.get(); node; node = node->next) {
        auto* item = static_cast<SecretItem*>(node->data);
        if (library().secret_item_get_locked(item))
            throw SecretStoreError(Status::interactionNotAllowed, QStringLiteral("item is locked"));
        GError* error = nullptr;
        if (!library().secret_item_delete_sync(item, deadline.cancellable(), &error))
            fail(error, deadline);
    }
}

bool SecretServiceStore::contains(const QString& service, const QString& account)
{
    try {
        const Deadline deadline(m_options.readTimeoutSeconds);
        const ServicePointer secretService = connect(deadline);
        const AttributesPointer query = attributes(service, account);
        return search(secretService.get(), query.get(), SECRET_SEARCH_NONE, deadline) != nullptr;
    } catch (const SecretStoreError&) {
        return false;
    }
}

SecretStore::ReadResult SecretServiceStore::read(const QString& service, const QString& account)
{
    try {
        const Deadline deadline(m_options.readTimeoutSeconds);
        const ServicePointer secretService = connect(deadline);
        const AttributesPointer query = attributes(service, account);
        // Secrets are loaded for unlocked items only; without SECRET_SEARCH_UNLOCK nothing prompts.
        const ItemList items = search(secretService.get(), query.get(), SECRET_SEARCH_LOAD_SECRETS, deadline);
        if (!items)
            return ReadResult::notFound();
        auto* item = static_cast<SecretItem*>(items->data);
        if (library().secret_item_get_locked(item))
            return ReadResult::unavailable(Status::interactionNotAllowed);
        const ValuePointer secret(library().secret_item_get_secret(item));
        if (!secret)
            return ReadResult::unavailable(Status::ioError);
        gsize length = 0;
        const gchar* bytes = library().secret_value_get(secret.get(), &length);
        return ReadResult::found(QByteArray(bytes, qsizetype(length)));
    } catch (const SecretStoreError& error) {
        return ReadResult::unavailable(error.status());
    }
}

} // namespace vantorel
