#include "app/platform/SecretServiceStore.h"

#include <QCoreApplication>
#include <QDBusConnection>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>
#include <QUuid>

#include <gtest/gtest.h>

#pragma push_macro("signals")
#undef signals
#include <gio/gio.h>
#include <libsecret/secret.h>
#pragma pop_macro("signals")

#include <atomic>
#include <cstdlib>
#include <memory>
#include <optional>

// These tests talk to the real keyring daemon that scripts/test-session.sh starts in the private
// D-Bus session; without it they skip.

namespace vantorel {
namespace {

constexpr int callTimeoutMs = 10'000;
const char* const secretsName = "org.freedesktop.secrets";
const char* const servicePath = "/org/freedesktop/secrets";
// gnome-keyring's interface for creating and unlocking a collection with a known password and
// no prompt; it lets each test run keep its own collection so that locking it cannot disturb
// other programs using the login collection.
const char* const masterPasswordInterface = "org.gnome.keyring.InternalUnsupportedGuiltRiddenInterface";
const char* const testPassword = "vantorel-test-collection";

struct VariantDeleter
{
    void operator()(GVariant* value) const { g_variant_unref(value); }
};
using VariantPointer = std::unique_ptr<GVariant, VariantDeleter>;

// The session bus connection shared with libsecret. Kept for the whole run: a secret-transfer
// session belongs to the connection that opened it.
GDBusConnection* sessionBus()
{
    static GDBusConnection* const bus = g_bus_get_sync(G_BUS_TYPE_SESSION, nullptr, nullptr);
    return bus;
}

// Synchronous D-Bus call; the error text on failure.
std::optional<VariantPointer> call(const char* destination, const char* path, const char* interface,
                                   const char* method, GVariant* parameters, QString* failure)
{
    GError* error = nullptr;
    if (!sessionBus()) {
        *failure = QStringLiteral("no session bus");
        if (parameters)
            g_variant_unref(g_variant_ref_sink(parameters));
        return std::nullopt;
    }
    GVariant* reply = g_dbus_connection_call_sync(sessionBus(), destination, path, interface, method, parameters,
                                                  nullptr, G_DBUS_CALL_FLAGS_NONE, callTimeoutMs, nullptr, &error);
    if (!reply) {
        *failure = QString::fromUtf8(error->message);
        g_error_free(error);
        return std::nullopt;
    }
    return VariantPointer(reply);
}

GVariant* plainSecret(const QByteArray& session, const QByteArray& value)
{
    GVariant* parameters = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, "", 0, 1);
    GVariant* bytes = g_variant_new_fixed_array(G_VARIANT_TYPE_BYTE, value.constData(), gsize(value.size()), 1);
    return g_variant_new("(o@ay@ays)", session.constData(), parameters, bytes, "text/plain");
}

// Stands in for the keyring's prompter by owning its bus name, and counts every method call the
// keyring makes on it. A prompt the keyring starts reaches the prompter before the keyring answers
// the call that caused it, so the count is complete when that call returns.
class PrompterWatch
{
public:
    PrompterWatch()
        : m_calls(new std::atomic<int>(0))
    {
        // The filter runs on the bus thread and may outlive its removal: the counter is freed by it.
        m_filter = g_dbus_connection_add_filter(sessionBus(), &PrompterWatch::filter, m_calls,
                                                [](gpointer calls) { delete static_cast<std::atomic<int>*>(calls); });
        QString ignored;
        const auto reply = call(busName, busPath, busName, "RequestName", g_variant_new("(su)", prompterName, doNotQueue),
                                &ignored);
        guint32 result = 0;
        if (reply)
            g_variant_get(reply->get(), "(u)", &result);
        m_owned = result == primaryOwner;
    }

    ~PrompterWatch()
    {
        QString ignored;
        call(busName, busPath, busName, "ReleaseName", g_variant_new("(s)", prompterName), &ignored);
        g_dbus_connection_remove_filter(sessionBus(), m_filter);
    }

    PrompterWatch(const PrompterWatch&) = delete;
    PrompterWatch& operator=(const PrompterWatch&) = delete;

    bool owned() const { return m_owned; }
    int calls() const { return *m_calls; }

private:
    static constexpr const char* busName = "org.freedesktop.DBus";
    static constexpr const char* busPath = "/org/freedesktop/DBus";
    static constexpr const char* prompterName = "org.gnome.keyring.SystemPrompter";
    static constexpr guint32 doNotQueue = 4;
    static constexpr guint32 primaryOwner = 1;

    static GDBusMessage* filter(GDBusConnection*, GDBusMessage* message, gboolean incoming, gpointer calls)
    {
        const char* interface = g_dbus_message_get_interface(message);
        if (incoming && g_dbus_message_get_message_type(message) == G_DBUS_MESSAGE_TYPE_METHOD_CALL
            && !(interface && g_str_has_prefix(interface, busName)))
            ++*static_cast<std::atomic<int>*>(calls);
        return message;
    }

    std::atomic<int>* m_calls;
    guint m_filter = 0;
    bool m_owned = false;
};

class PrivateCollection
{
public:
    // Creates an unlocked collection; `path()` is empty and `failure()` says why when it cannot.
    PrivateCollection()
    {
        const auto session = call(secretsName, servicePath, "org.freedesktop.Secret.Service", "OpenSession",
                                  g_variant_new("(sv)", "plain", g_variant_new_string("")), &m_failure);
        if (!session)
            return;
        const gchar* sessionPath = nullptr;
        g_variant_get(session->get(), "(v&o)", nullptr, &sessionPath);
        m_session = sessionPath;

        GVariantBuilder properties;
        g_variant_builder_init(&properties, G_VARIANT_TYPE("a{sv}"));
        // The keyring names the collection's file after its label: parallel test programs need
        // labels of their own, or they create and delete each other's collection.
        const QByteArray label = "Vantorel test " + QUuid::createUuid().toByteArray(QUuid::WithoutBraces);
        g_variant_builder_add(&properties, "{sv}", "org.freedesktop.Secret.Collection.Label",
                              g_variant_new_string(label.constData()));
        const auto created = call(secretsName, servicePath, masterPasswordInterface, "CreateWithMasterPassword",
                                  g_variant_new("(a{sv}@(oayays))", &properties, plainSecret(m_session, testPassword)),
                                  &m_failure);
        if (!created)
            return;
        const gchar* collectionPath = nullptr;
        g_variant_get(created->get(), "(&o)", &collectionPath);
        m_path = collectionPath;
    }

    ~PrivateCollection()
    {
        if (m_path.isEmpty())
            return;
        QString ignored;
        unlock(&ignored);
        call(secretsName, m_path.constData(), "org.freedesktop.Secret.Collection", "Delete", nullptr, &ignored);
    }

    QByteArray path() const { return m_path; }
    QString failure() const { return m_failure; }

    bool lock(QString* failure)
    {
        const char* paths[] = {m_path.constData()};
        return call(secretsName, servicePath, "org.freedesktop.Secret.Service", "Lock",
                    g_variant_new("(@ao)", g_variant_new_objv(paths, 1)), failure)
            .has_value();
    }

    bool unlock(QString* failure)
    {
        return call(secretsName, servicePath, masterPasswordInterface, "UnlockWithMasterPassword",
                    g_variant_new("(o@(oayays))", m_path.constData(), plainSecret(m_session, testPassword)), failure)
            .has_value();
    }

private:
    QByteArray m_session;
    QByteArray m_path;
    QString m_failure;
};

class SecretServiceStoreIntegration : public testing::Test
{
protected:
    void SetUp() override
    {
        if (!std::getenv("VANTOREL_TEST_SECRET_SERVICE"))
            GTEST_SKIP() << "no keyring daemon in this session (VANTOREL_TEST_SECRET_SERVICE unset)";
        collection = std::make_unique<PrivateCollection>();
        ASSERT_FALSE(collection->path().isEmpty()) << collection->failure().toStdString();
        SecretServiceStore::Options options;
        options.collection = QString::fromUtf8(collection->path());
        store = std::make_unique<SecretServiceStore>(options);
    }

    const QString service = QStringLiteral("vantorel.test.") + QUuid::createUuid().toString(QUuid::WithoutBraces);
    const QString account = QStringLiteral("default");
    std::unique_ptr<PrivateCollection> collection;
    std::unique_ptr<SecretServiceStore> store;
};

TEST_F(SecretServiceStoreIntegration, SaveReadReplaceAndDelete)
{
    using Result = SecretStore::ReadResult;
    EXPECT_EQ(store->read(service, account), Result::notFound());
    EXPECT_FALSE(store->contains(service, account));

    const QByteArray binary("a\0b\xff", 4);
    store->save(service, account, binary);
    EXPECT_TRUE(store->contains(service, account));
    EXPECT_EQ(store->read(service, account), Result::found(binary));
    EXPECT_EQ(store->read(service, QStringLiteral("other")), Result::notFound()) << "the account is part of the key";

    store->save(service, account, "second");
    EXPECT_EQ(store->read(service, account), Result::found("second"));

    store->remove(service, account);
    EXPECT_EQ(store->read(service, account), Result::notFound());
    EXPECT_FALSE(store->contains(service, account));
    EXPECT_NO_THROW(store->remove(service, account));
}

TEST_F(SecretServiceStoreIntegration, LockedCollectionReadsAsTemporarilyUnavailableWithoutPrompt)
{
    store->save(service, account, "kept");
    QString failure;
    ASSERT_TRUE(collection->lock(&failure)) << failure.toStdString();
    const PrompterWatch prompter;
    ASSERT_TRUE(prompter.owned());

    EXPECT_EQ(store->read(service, account),
              SecretStore::ReadResult::unavailable(SecretStore::Status::interactionNotAllowed));
    EXPECT_TRUE(store->contains(service, account)) << "a locked item still exists";
    for (const QString& target : QStringList{service, service + QStringLiteral(".new")}) {
        SCOPED_TRACE(target.toStdString());
        try {
            store->save(target, account, "changed");
            ADD_FAILURE() << "writing into a locked collection should fail";
        } catch (const SecretStoreError& error) {
            EXPECT_EQ(error.status(), SecretStore::Status::interactionNotAllowed);
        }
    }
    EXPECT_EQ(prompter.calls(), 0) << "the keyring was asked to prompt";

    ASSERT_TRUE(collection->unlock(&failure)) << failure.toStdString();
    EXPECT_EQ(store->read(service, account), SecretStore::ReadResult::found("kept"));
    store->remove(service, account);
}

TEST_F(SecretServiceStoreIntegration, DefaultCollectionTakesNewItems)
{
    SecretServiceStore defaultStore;
    defaultStore.save(service, account, "in the login collection");
    EXPECT_EQ(defaultStore.read(service, account), SecretStore::ReadResult::found("in the login collection"));
    defaultStore.remove(service, account);
    EXPECT_FALSE(defaultStore.contains(service, account));
}

// Earlier versions stored items through libsecret with this schema; both must find each other's.
const SecretSchema* earlierSchema()
{
    static const SecretSchema schema = {
        "vantorel.monitor.GenericPassword",
        SECRET_SCHEMA_NONE,
        {{"service", SECRET_SCHEMA_ATTRIBUTE_STRING}, {"account", SECRET_SCHEMA_ATTRIBUTE_STRING}, {nullptr, {}}},
        0, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr, nullptr,
    };
    return &schema;
}

TEST_F(SecretServiceStoreIntegration, ItemsStoredThroughLibsecretAreTheSameItems)
{
    const QByteArray serviceBytes = service.toUtf8();
    const QByteArray accountBytes = account.toUtf8();
    GError* error = nullptr;
    ASSERT_TRUE(secret_password_store_sync(earlierSchema(), collection->path().constData(), "earlier", "stored before",
                                           nullptr, &error, "service", serviceBytes.constData(), "account",
                                           accountBytes.constData(), nullptr))
        << (error ? error->message : "");
    EXPECT_TRUE(store->contains(service, account));
    EXPECT_EQ(store->read(service, account), SecretStore::ReadResult::found("stored before"));

    store->save(service, account, "stored now");
    gchar* found = secret_password_lookup_sync(earlierSchema(), nullptr, &error, "service", serviceBytes.constData(),
                                               "account", accountBytes.constData(), nullptr);
    ASSERT_NE(found, nullptr) << (error ? error->message : "");
    EXPECT_STREQ(found, "stored now");
    secret_password_free(found);

    store->remove(service, account);
    EXPECT_EQ(secret_password_lookup_sync(earlierSchema(), nullptr, &error, "service", serviceBytes.constData(),
                                          "account", accountBytes.constData(), nullptr),
              nullptr);
    store->save(QStringLiteral("%1.new").arg(service), account, "new item");
    const QByteArray newService = QStringLiteral("%1.new").arg(service).toUtf8();
    found = secret_password_lookup_sync(earlierSchema(), nullptr, &error, "service", newService.constData(), "account",
                                        accountBytes.constData(), nullptr);
    ASSERT_NE(found, nullptr) << "an item created now is found by the earlier query";
    EXPECT_STREQ(found, "new item");
    secret_password_free(found);
    store->remove(QStringLiteral("%1.new").arg(service), account);
}

// Runs in a child process on a bus where nobody provides the Secret Service (see below); disabled
// so that only its parent runs it.
TEST(SecretServiceStoreWithoutProviderIntegration, DISABLED_ChildSide)
{
    if (!std::getenv("VANTOREL_TEST_SECRET_SERVICE_ABSENT"))
        GTEST_SKIP() << "runs only as the child of ReadsAreUnavailableNotMissing";
    SecretServiceStore store;
    const QString service = QStringLiteral("vantorel.test.absent");
    EXPECT_EQ(store.read(service, QStringLiteral("default")),
              SecretStore::ReadResult::unavailable(SecretStore::Status::notAvailable));
    EXPECT_FALSE(store.contains(service, QStringLiteral("default")));
    for (const bool save : {true, false}) {
        try {
            if (save)
                store.save(service, QStringLiteral("default"), "x");
            else
                store.remove(service, QStringLiteral("default"));
            ADD_FAILURE() << "a write without a Secret Service must fail";
        } catch (const SecretStoreError& error) {
            EXPECT_EQ(error.status(), SecretStore::Status::notAvailable);
        }
    }
}

// Runs in a child process on a bus where the Secret Service's name is owned but nothing answers;
// disabled so that only its parent runs it.
TEST(SecretServiceStoreWithoutProviderIntegration, DISABLED_SilentChildSide)
{
    if (!std::getenv("VANTOREL_TEST_SECRET_SERVICE_SILENT"))
        GTEST_SKIP() << "runs only as the child of ASilentServiceCostsOnlyTheTimeOut";
    SecretServiceStore::Options options;
    options.readTimeoutSeconds = 0.5;
    options.writeTimeoutSeconds = 0.5;
    SecretServiceStore store(options);
    const QString service = QStringLiteral("vantorel.test.silent");
    QElapsedTimer elapsed;
    elapsed.start();
    EXPECT_EQ(store.read(service, QStringLiteral("default")),
              SecretStore::ReadResult::unavailable(SecretStore::Status::notAvailable));
    EXPECT_FALSE(store.contains(service, QStringLiteral("default")));
    try {
        store.save(service, QStringLiteral("default"), "x");
        ADD_FAILURE() << "a write to a silent Secret Service must fail";
    } catch (const SecretStoreError& error) {
        EXPECT_EQ(error.status(), SecretStore::Status::notAvailable);
    }
    EXPECT_LT(elapsed.elapsed(), 5'000) << "each call is bounded by its time-out, not the bus's 25 s";
}

// A session bus of our own, without service files, so nothing can be activated on it.
class PrivateBus
{
public:
    PrivateBus()
    {
        if (!m_dir.isValid())
            return;
        const QString config = m_dir.filePath(QStringLiteral("bus.conf"));
        QFile file(config);
        if (!file.open(QIODevice::WriteOnly))
            return;
        file.write("<!DOCTYPE busconfig PUBLIC \"-//freedesktop//DTD D-Bus Bus Configuration 1.0//EN\" "
                   "\"http://www.freedesktop.org/standards/dbus/1.0/busconfig.dtd\">\n"
                   "<busconfig><type>session</type><listen>unix:dir=" + m_dir.path().toUtf8() + "</listen>"
                   "<auth>EXTERNAL</auth><policy context=\"default\"><allow send_destination=\"*\" eavesdrop=\"true\"/>"
                   "<allow eavesdrop=\"true\"/><allow own=\"*\"/></policy>"
                   "</busconfig>\n");
        file.close();
        m_bus.start(QStringLiteral("dbus-daemon"), {QStringLiteral("--config-file=") + config, QStringLiteral("--nofork"),
                                                   QStringLiteral("--print-address=1")});
        if (m_bus.waitForStarted(10'000) && m_bus.waitForReadyRead(10'000))
            m_address = QString::fromUtf8(m_bus.readLine()).trimmed();
    }

    ~PrivateBus()
    {
        m_bus.terminate();
        m_bus.waitForFinished(10'000);
    }

    PrivateBus(const PrivateBus&) = delete;
    PrivateBus& operator=(const PrivateBus&) = delete;

    // Empty when dbus-daemon could not be started.
    QString address() const { return m_address; }

private:
    QTemporaryDir m_dir;
    QProcess m_bus;
    QString m_address;
};

// Runs one disabled child-side test of this program on the bus at `address`; its output when it
// failed.
void expectChildPasses(const QString& address, const QString& marker, const QString& test)
{
    QProcess child;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(QStringLiteral("DBUS_SESSION_BUS_ADDRESS"), address);
    environment.insert(marker, QStringLiteral("1"));
    child.setProcessEnvironment(environment);
    child.setProcessChannelMode(QProcess::MergedChannels);
    child.start(QCoreApplication::applicationFilePath(),
                {QStringLiteral("--gtest_also_run_disabled_tests"), QStringLiteral("--gtest_filter=") + test});
    ASSERT_TRUE(child.waitForFinished(60'000));
    const QByteArray output = child.readAll();
    EXPECT_EQ(child.exitCode(), 0) << output.toStdString();
    EXPECT_TRUE(output.contains("[  PASSED  ] 1 test")) << output.toStdString();
}

TEST(SecretServiceStoreWithoutProviderIntegration, ReadsAreUnavailableNotMissing)
{
    const PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    expectChildPasses(bus.address(), QStringLiteral("VANTOREL_TEST_SECRET_SERVICE_ABSENT"),
                      QStringLiteral("SecretServiceStoreWithoutProviderIntegration.DISABLED_ChildSide"));
}

TEST(SecretServiceStoreWithoutProviderIntegration, ASilentServiceCostsOnlyTheTimeOut)
{
    const PrivateBus bus;
    if (bus.address().isEmpty())
        GTEST_SKIP() << "dbus-daemon is not available";
    // Owns the name and the service's object, whose calls wait for this thread; it is busy
    // waiting for the child meanwhile, so nothing answers.
    QDBusConnection silent = QDBusConnection::connectToBus(bus.address(), QStringLiteral("silentSecrets"));
    ASSERT_TRUE(silent.isConnected());
    QObject service;
    ASSERT_TRUE(silent.registerObject(QStringLiteral("/org/freedesktop/secrets"), &service,
                                      QDBusConnection::ExportAllContents));
    ASSERT_TRUE(silent.registerService(QStringLiteral("org.freedesktop.secrets")));
    expectChildPasses(bus.address(), QStringLiteral("VANTOREL_TEST_SECRET_SERVICE_SILENT"),
                      QStringLiteral("SecretServiceStoreWithoutProviderIntegration.DISABLED_SilentChildSide"));
    silent.unregisterObject(QStringLiteral("/org/freedesktop/secrets"));
    QDBusConnection::disconnectFromBus(QStringLiteral("silentSecrets"));
}

} // namespace
} // namespace vantorel
