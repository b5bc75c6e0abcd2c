#include "app/platform/FreedesktopNotificationBackend.h"
#include "app/platform/NotificationManager.h"
#include "app/ui/ApplicationResources.h"
#include "core/foundation/PendingCompletion.h"
#include "support/DrainEvents.h"
#include "support/FakeNotificationBackend.h"
#include "support/FakeNotificationServer.h"
#include "support/TaskOutcome.h"
#include "support/TestFiles.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QColor>
#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QIcon>
#include <QRegularExpression>
#include <QSet>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using AuthorizationStatus = NotificationBackend::AuthorizationStatus;
using AuthorizationState = AppNotificationAuthorizationState;
using Result = LocalNotificationSubmissionResult;

using Urgency = LocalNotificationRequest::Urgency;

QCoro::Task<Result> sendAndWait(const NotificationManager& manager, QString title, QString body, Urgency urgency)
{
    PendingCompletion<Result> done;
    manager.send(std::move(title), std::move(body), true, [done](Result result) { done.complete(result); }, urgency);
    co_return co_await done;
}

std::optional<Result> post(const NotificationManager& manager, QString title = QStringLiteral("t"),
                           QString body = QStringLiteral("b"), Urgency urgency = Urgency::normal)
{
    return waitForOutcome(sendAndWait(manager, std::move(title), std::move(body), urgency)).value;
}

class NotificationManagerTest : public ::testing::Test
{
protected:
    std::shared_ptr<FakeNotificationBackend> backend = std::make_shared<FakeNotificationBackend>();
    NotificationManager manager{backend};

    std::optional<AuthorizationState> authorization(bool enabled)
    {
        auto outcome = startTask(manager.authorizationState(enabled));
        drainEvents();
        return outcome->value;
    }
};

TEST_F(NotificationManagerTest, AuthorizationFollowsTheServiceUnlessSwitchedOff)
{
    EXPECT_EQ(authorization(false), AuthorizationState::disabled);
    EXPECT_EQ(backend->statusQueryCount(), 0) << "a switched-off setting must not ask the desktop";
    backend->setAuthorizationStatus(AuthorizationStatus::denied);
    EXPECT_EQ(authorization(true), AuthorizationState::denied);
}

TEST_F(NotificationManagerTest, PostsOnlyWhenEnabledAndAuthorizedAndReportsLater)
{
    struct Row
    {
        const char* name;
        bool enabled;
        AuthorizationStatus status;
        bool accepts;
        Result expected;
        int posted;
    };
    const Row rows[] = {
        {"switched off", false, AuthorizationStatus::authorized, true, Result::disabled, 0},
        {"no service", true, AuthorizationStatus::notDetermined, true, Result::notAuthorized, 0},
        {"refused", true, AuthorizationStatus::denied, true, Result::notAuthorized, 0},
        {"accepted", true, AuthorizationStatus::authorized, true, Result::accepted, 1},
        {"rejected", true, AuthorizationStatus::authorized, false, Result::failed, 1},
    };
    for (const auto& row : rows) {
        SCOPED_TRACE(row.name);
        backend = std::make_shared<FakeNotificationBackend>();
        backend->setAuthorizationStatus(row.status);
        backend->setAccepts(row.accepts);
        const NotificationManager manager(backend);
        std::optional<Result> result;
        manager.send(QStringLiteral("残量低下"), QStringLiteral("5時間枠が残り10%です"), row.enabled,
                     [&result](Result value) { result = value; });
        EXPECT_EQ(result, std::nullopt) << "the completion must not run inside send()";
        drainEvents();
        EXPECT_EQ(result, row.expected);
        EXPECT_EQ(backend->posted().size(), row.posted);
        EXPECT_EQ(backend->statusQueryCount(), row.enabled ? 1 : 0);
    }
}

TEST_F(NotificationManagerTest, EveryRequestGetsAFreshPrefixedIdentifier)
{
    manager.send(QStringLiteral("同じ"), QStringLiteral("本文"), true);
    manager.send(QStringLiteral("同じ"), QStringLiteral("本文"), true);
    drainEvents();
    const auto posted = backend->posted();
    ASSERT_EQ(posted.size(), 2);
    const QRegularExpression form(QStringLiteral("^vantorel-[0-9A-F]{8}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{4}-[0-9A-F]{12}$"));
    for (const auto& request : posted)
        EXPECT_TRUE(form.match(request.identifier).hasMatch()) << request.identifier.toStdString();
    EXPECT_NE(posted[0].identifier, posted[1].identifier);
}

// Against a real bus: the private session that the test script starts.
class FreedesktopNotificationIntegrationTest : public ::testing::Test
{
protected:
    void SetUp() override
    {
        if (!QDBusConnection::sessionBus().isConnected())
            GTEST_SKIP() << "no session bus";
    }

    static NotificationManager managerFor(const QString& serviceName, QDBusConnection bus = QDBusConnection::sessionBus(),
                                          QIcon picture = {})
    {
        FreedesktopNotificationBackend::Options options;
        options.serviceName = serviceName;
        options.picture = std::move(picture);
        return NotificationManager(std::make_shared<FreedesktopNotificationBackend>(bus, options));
    }
};

// Empty XDG data directories while it lives, where a test may install an icon.
class DataDirectories
{
public:
    DataDirectories()
    {
        qputenv("XDG_DATA_HOME", QFile::encodeName(m_home.path()));
        qputenv("XDG_DATA_DIRS", QFile::encodeName(m_system.path()));
    }
    ~DataDirectories()
    {
        restore("XDG_DATA_HOME", m_savedHome);
        restore("XDG_DATA_DIRS", m_savedSystem);
    }

    // The installed file's path, or empty when it could not be written.
    QString install(const QString& path) const
    {
        const QString file = m_home.filePath(path);
        if (!QDir().mkpath(QFileInfo(file).path()) || !test::writeFileBytes(file, "<svg/>"))
            return {};
        return file;
    }

private:
    static void restore(const char* name, const QByteArray& value)
    {
        if (value.isNull())
            qunsetenv(name);
        else
            qputenv(name, value);
    }

    QByteArray m_savedHome = qgetenv("XDG_DATA_HOME");
    QByteArray m_savedSystem = qgetenv("XDG_DATA_DIRS");
    QTemporaryDir m_home;
    QTemporaryDir m_system;
};

TEST_F(FreedesktopNotificationIntegrationTest, ServerReceivesTitleBodyApplicationNameAndHints)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    const auto manager = managerFor(server.serviceName());
    EXPECT_EQ(waitForOutcome(manager.authorizationState(true)).value, AuthorizationState::authorized);

    const QString incident = QStringLiteral("API <b>障害</b> & 遅延");
    EXPECT_EQ(post(manager, QStringLiteral("Claude: 障害"), incident), Result::accepted);
    server.setCapabilities({QStringLiteral("body"), QStringLiteral("body-markup")});
    EXPECT_EQ(post(manager, QStringLiteral("Claude: 障害"), incident), Result::accepted);
    EXPECT_EQ(post(manager, QStringLiteral("Codex 利用枠が0%になりました"), QStringLiteral("5時間枠の残りが 0% です。"),
                   Urgency::critical),
              Result::accepted);

    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 3);
    const auto& plain = calls[0];
    EXPECT_EQ(plain.appName, QStringLiteral("Vantorel"));
    EXPECT_EQ(plain.replacesId, 0u);
    EXPECT_EQ(plain.appIcon, QString());
    EXPECT_EQ(plain.summary, QStringLiteral("Claude: 障害"));
    EXPECT_EQ(plain.body, incident) << "a server without markup shows the text as sent";
    EXPECT_EQ(plain.actions, (QStringList{"default", "開く"})) << "a click must be able to bring the program up";
    EXPECT_EQ(plain.hints.value(QStringLiteral("desktop-entry")).toString(), QStringLiteral("vantorel"));
    EXPECT_EQ(plain.hints.value(QStringLiteral("sound-name")).toString(), QStringLiteral("message-new-instant"));
    EXPECT_EQ(plain.hints.size(), 2) << "no urgency, and no picture without one to send";
    EXPECT_EQ(plain.expireTimeout, -1);
    EXPECT_EQ(calls[1].body, QStringLiteral("API &lt;b&gt;障害&lt;/b&gt; &amp; 遅延"))
        << "outside text must not be read as markup";
    EXPECT_EQ(calls[1].summary, QStringLiteral("Claude: 障害"));
    const QVariant urgency = calls[2].hints.value(QStringLiteral("urgency"));
    EXPECT_EQ(urgency.metaType(), QMetaType::fromType<uchar>()) << "the urgency is a byte";
    EXPECT_EQ(urgency.value<uchar>(), 2) << "critical";
}

TEST_F(FreedesktopNotificationIntegrationTest, TheInstalledIconIsNamedAndOtherwiseThePictureIsSent)
{
    const DataDirectories data;
    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    const QIcon picture = ApplicationResources::applicationIcon();
    const auto fromBuildTree = managerFor(server.serviceName(), QDBusConnection::sessionBus(), picture);
    EXPECT_EQ(post(fromBuildTree), Result::accepted);
    EXPECT_EQ(post(fromBuildTree), Result::accepted);
    const QString installed = data.install(QStringLiteral("icons/hicolor/scalable/apps/vantorel.svg"));
    ASSERT_FALSE(installed.isEmpty());
    EXPECT_EQ(post(managerFor(server.serviceName(), QDBusConnection::sessionBus(), picture)), Result::accepted);

    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 3);
    for (const auto& call : calls.first(2)) {
        EXPECT_EQ(call.appIcon, QString());
        ASSERT_TRUE(call.image) << "image-data (iiibiiay) expected";
        const auto& image = *call.image;
        EXPECT_EQ(image.width, FreedesktopNotificationBackend::imageSize);
        EXPECT_EQ(image.height, FreedesktopNotificationBackend::imageSize);
        EXPECT_EQ(image.rowStride, image.width * 4);
        EXPECT_TRUE(image.hasAlpha);
        EXPECT_EQ(image.bitsPerSample, 8);
        EXPECT_EQ(image.channels, 4);
        ASSERT_EQ(image.data.size(), image.rowStride * image.height);
        // RGBA, not Qt's premultiplied ARGB: the middle of the icon is opaque.
        const qsizetype middle = (image.height / 2) * image.rowStride + (image.width / 2) * 4;
        EXPECT_EQ(uchar(image.data[middle + 3]), 255);
        EXPECT_EQ(QColor(uchar(image.data[middle]), uchar(image.data[middle + 1]), uchar(image.data[middle + 2])),
                  picture.pixmap(QSize(64, 64), 1.0).toImage().pixelColor(32, 32));
    }
    EXPECT_EQ(calls[1].image->data, calls[0].image->data);
    EXPECT_EQ(calls[2].appIcon, installed) << "an installed icon is sent as its file";
    EXPECT_FALSE(calls[2].hints.contains(QStringLiteral("image-data")));
}

TEST_F(FreedesktopNotificationIntegrationTest, OnlyAClickOnOneOfOurOpenNotificationsActivates)
{
    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    const auto manager = managerFor(server.serviceName());
    int activations = 0;
    manager.setActivationHandler([&activations] { ++activations; });
    EXPECT_EQ(post(manager), Result::accepted);

    const QString otherProgram = QStringLiteral("another-program");
    auto notify = QDBusMessage::createMethodCall(server.serviceName(), FreedesktopNotificationBackend::objectPath,
                                                 FreedesktopNotificationBackend::interfaceName, QStringLiteral("Notify"));
    notify << QStringLiteral("Other") << uint(0) << QString() << QStringLiteral("s") << QStringLiteral("b")
           << QStringList{QStringLiteral("default"), QStringLiteral("Open")} << QVariantMap() << -1;
    const QDBusMessage othersReply
        = QDBusConnection::connectToBus(QDBusConnection::SessionBus, otherProgram).call(notify);
    QDBusConnection::disconnectFromBus(otherProgram);
    EXPECT_EQ(post(manager), Result::accepted);

    const auto calls = server.calls();
    ASSERT_EQ(calls.size(), 3);
    const uint ours = calls[0].id;
    const uint theirs = othersReply.arguments().value(0).toUInt();
    const uint oursLater = calls[2].id;
    ASSERT_EQ(theirs, calls[1].id);
    server.invokeAction(theirs, QStringLiteral("default"));
    server.invokeAction(ours, QStringLiteral("snooze"));
    server.closeNotification(ours, 2);
    server.invokeAction(ours, QStringLiteral("default"));
    server.invokeAction(oursLater, QStringLiteral("default"));
    // What one connection sends arrives in order: once the server's answer to a later call is
    // in, every signal before it has been handled.
    EXPECT_EQ(post(manager), Result::accepted);
    EXPECT_EQ(activations, 1) << "another program's, another action's and a closed notification's clicks are not ours";
}

TEST_F(FreedesktopNotificationIntegrationTest, WithoutAServerNothingIsPostedAndAnErrorAnswerIsAFailure)
{
    const auto absent = managerFor(FakeNotificationServer::uniqueServiceName());
    EXPECT_EQ(waitForOutcome(absent.authorizationState(true)).value, AuthorizationState::notDetermined);
    EXPECT_EQ(post(absent), Result::notAuthorized);

    const auto noBus = managerFor(FreedesktopNotificationBackend::standardServiceName,
                                  QDBusConnection(QStringLiteral("vantorel-not-connected")));
    EXPECT_EQ(waitForOutcome(noBus.authorizationState(true)).value, AuthorizationState::notDetermined);
    EXPECT_EQ(post(noBus), Result::notAuthorized);

    FakeNotificationServer server;
    ASSERT_TRUE(server.isServing());
    server.failNotify(QStringLiteral("org.freedesktop.Notifications.Error.Full"), QStringLiteral("too many"));
    const auto failing = managerFor(server.serviceName());
    EXPECT_EQ(post(failing), Result::failed);
    EXPECT_EQ(server.calls().size(), 1);
}

TEST_F(FreedesktopNotificationIntegrationTest, ServiceTheBusStartsOnDemandCountsAsPresent)
{
    const QString dataHome = qEnvironmentVariable("XDG_DATA_HOME");
    if (dataHome.isEmpty())
        GTEST_SKIP() << "needs the bus session of the test script";
    const QString name = FakeNotificationServer::uniqueServiceName();
    const QString directory = dataHome + QStringLiteral("/dbus-1/services");
    ASSERT_TRUE(QDir().mkpath(directory));
    QFile service(directory + QStringLiteral("/") + name + QStringLiteral(".service"));
    ASSERT_TRUE(service.open(QIODevice::WriteOnly));
    service.write("[D-BUS Service]\nName=" + name.toUtf8() + "\nExec=/bin/false\n");
    service.close();
    const auto busCall = [](const char* method) {
        return QDBusConnection::sessionBus().call(QDBusMessage::createMethodCall(
            QStringLiteral("org.freedesktop.DBus"), QStringLiteral("/org/freedesktop/DBus"), QStringLiteral("org.freedesktop.DBus"),
            QString::fromLatin1(method)));
    };
    ASSERT_EQ(busCall("ReloadConfig").type(), QDBusMessage::ReplyMessage);
    if (!busCall("ListActivatableNames").arguments().value(0).toStringList().contains(name)) {
        service.remove();
        GTEST_SKIP() << "this bus was not started with the test's XDG_DATA_HOME";
    }

    const auto manager = managerFor(name);
    EXPECT_EQ(waitForOutcome(manager.authorizationState(true)).value, AuthorizationState::authorized);
    // This one fails to start, so the notification is reported as failed, not as unauthorised.
    EXPECT_EQ(post(manager), Result::failed);
    service.remove();
    busCall("ReloadConfig");
}

} // namespace
} // namespace vantorel
