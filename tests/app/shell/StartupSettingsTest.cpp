#include "app/shell/StartupSettings.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "app/viewmodel/StoredHistories.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ModelCoding.h"
#include "support/QtPrinters.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

#include <sys/stat.h>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;

const Date now = Date::fromUnixSeconds(1'772'323'200);

class StartupSettingsTest : public ::testing::Test
{
protected:
    QString path() const { return m_directory.filePath(QStringLiteral("defaults.json")); }

    // The store and view model as the start-up builds them over the file read on another thread,
    // with the usage history decoded after the load (or, with `usageHistoryLater` false, in it).
    std::unique_ptr<AppViewModel> started(bool usageHistoryLater)
    {
        StartupSettings startup = StartupSettings::read(path());
        AppViewModelDependencies dependencies;
        dependencies.defaults = std::make_shared<JsonFileSettingsStore>(std::move(startup.contents), path());
        dependencies.usageHistoryLater = usageHistoryLater;
        dependencies.automaticallyStartServices = false;
        dependencies.now = [] { return now; };
        return std::make_unique<AppViewModel>(std::move(dependencies));
    }

    // Turns of the event loop until the usage history decoded on its own thread is in.
    static void waitForUsageHistory(AppViewModel& viewModel)
    {
        QEventLoop loop;
        viewModel.storedState().whenUsageHistoryLoaded(&loop, [&loop] { loop.quit(); });
        if (!viewModel.storedState().usageHistoryLoaded())
            loop.exec();
    }

    QTemporaryDir m_directory;
};

TEST_F(StartupSettingsTest, AUsageHistoryDecodedAfterTheLoadLoadsAsTheViewModelWouldLoadItItself)
{
    {
        JsonFileSettingsStore store(path());
        // In the stored form, the second sample past retention.
        const auto sample = [](const char* provider, double secondsAgo) {
            return QStringLiteral(R"({"id":"%1","provider":"%2","recordedAt":%3,"fiveHourRemainingPercent":40.5,)"
                                  R"("weeklyRemainingPercent":80.25,"codexPeriodValidationVersion":1})")
                .arg(QUuid::createUuid().toString(QUuid::WithoutBraces).toUpper(), QLatin1String(provider),
                     QString::number((now - secondsAgo).timeIntervalSinceReferenceDate(), 'f', 3));
        };
        const QString usage = u'[' + sample("claude", 60) + u',' + sample("codex", 2 * HistoryRetention::usageRetentionSeconds)
            + u',' + sample("codex", 120) + u']';
        NotificationHistoryEntry older{QUuid::createUuid(), MonitoredProvider::codex, NotificationHistoryCategory::usage,
                                       QStringLiteral("古い"), QStringLiteral("本文"), now - 600, std::nullopt};
        NotificationHistoryEntry newer = older;
        newer.id = QUuid::createUuid();
        newer.createdAt = now - 30;
        newer.delivery = NotificationDeliveryEvidence{NotificationDeliveryStatus::submitting,
                                                      NotificationDeliveryStatus::submitting, false, std::nullopt};
        store.set(Keys::usageHistory, usage.toUtf8());
        store.set(Keys::notificationHistory, json::write(toJsonArray(QList{older, newer}), json::Form::store));
    }

    const auto decodedLater = started(true);
    EXPECT_TRUE(decodedLater->usageHistory().isEmpty());
    EXPECT_FALSE(decodedLater->storedState().usageHistoryLoaded());
    waitForUsageHistory(*decodedLater);
    const auto decodedInLoad = started(false);
    EXPECT_TRUE(decodedInLoad->storedState().usageHistoryLoaded());
    EXPECT_EQ(decodedLater->usageHistory(), decodedInLoad->usageHistory());
    EXPECT_EQ(decodedLater->usageHistory().size(), 2);
    EXPECT_EQ(decodedLater->notificationHistory(), decodedInLoad->notificationHistory());
    ASSERT_EQ(decodedLater->notificationHistory().size(), 2);
    EXPECT_EQ(decodedLater->notificationHistory().first().delivery->discord, NotificationDeliveryStatus::outcomeUnknown);
}

TEST_F(StartupSettingsTest, SamplesTakenBeforeTheStoredOnesComeInAreKeptWithThemAndWrittenOnlyThen)
{
    const auto stored = [](double secondsAgo) {
        return UsageHistoryEntry{QUuid::createUuid(), MonitoredProvider::codex, now - secondsAgo, 40, 80, 1};
    };
    const QList<UsageHistoryEntry> storedSamples{stored(3'600), stored(1'800)};
    {
        JsonFileSettingsStore store(path());
        store.set(Keys::usageHistory, StoredState::usageHistoryStoreText(storedSamples));
    }
    const auto viewModel = started(true);
    const UsageHistoryEntry taken{QUuid::createUuid(), MonitoredProvider::claude, now - 60, 10, 20, 1};
    viewModel->setUsageHistory({taken});
    // Written now, the list would replace the stored samples before they are read.
    viewModel->persistUsageHistory();
    EXPECT_EQ(StoredHistories::decodeUsage(viewModel->defaults().dataValue(Keys::usageHistory).value(), now), storedSamples);

    waitForUsageHistory(*viewModel);
    const QList<UsageHistoryEntry> all{storedSamples[0], storedSamples[1], taken};
    EXPECT_EQ(viewModel->usageHistory(), all);
    EXPECT_EQ(StoredHistories::decodeUsage(viewModel->defaults().dataValue(Keys::usageHistory).value(), now), all);
}

// The end comes before the stored samples are in (quit at once after a refresh): the file still
// gets the samples taken, with the stored ones.
TEST_F(StartupSettingsTest, SamplesTakenBeforeTheStoredOnesComeInAreWrittenWithThemWhenTheViewModelGoes)
{
    const QList<UsageHistoryEntry> storedSamples{
        UsageHistoryEntry{QUuid::createUuid(), MonitoredProvider::codex, now - 3'600, 40, 80, 1}};
    {
        JsonFileSettingsStore store(path());
        store.set(Keys::usageHistory, StoredState::usageHistoryStoreText(storedSamples));
    }
    const UsageHistoryEntry taken{QUuid::createUuid(), MonitoredProvider::claude, now - 60, 10, 20, 1};
    started(true)->setUsageHistory({taken});

    const auto written = JsonFileSettingsStore::storedData(*StartupSettings::read(path()).contents, Keys::usageHistory);
    ASSERT_TRUE(written);
    EXPECT_EQ(StoredHistories::decodeUsage(*written, now), (QList<UsageHistoryEntry>{storedSamples[0], taken}));
}

// What brings the history in early (a build on first use) may itself be waiting for it: it hears
// of it on a later turn, never from inside.
TEST_F(StartupSettingsTest, WaitersHearOfTheUsageHistoryOnTheTurnAfterItComesIn)
{
    const auto viewModel = started(true);
    QObject context;
    int heard = 0;
    viewModel->storedState().whenUsageHistoryLoaded(&context, [&] {
        EXPECT_TRUE(viewModel->storedState().usageHistoryLoaded());
        ++heard;
    });
    viewModel->storedState().finishLoadingUsageHistory();
    EXPECT_TRUE(viewModel->storedState().usageHistoryLoaded());
    EXPECT_EQ(heard, 0);
    QCoreApplication::processEvents();
    EXPECT_EQ(heard, 1);
    viewModel->storedState().whenUsageHistoryLoaded(&context, [&] { ++heard; });
    EXPECT_EQ(heard, 2);
}

TEST_F(StartupSettingsTest, ADamagedFileOrAValueOfAnotherTypeGivesNoHistory)
{
    {
        JsonFileSettingsStore store(path());
        store.set(Keys::usageHistory, QStringLiteral("not data"));
    }
    const StartupSettings wrongType = StartupSettings::read(path());
    EXPECT_EQ(JsonFileSettingsStore::storedData(*wrongType.contents, Keys::usageHistory), std::nullopt);
    const auto startedOverWrongType = started(true);
    waitForUsageHistory(*startedOverWrongType);
    EXPECT_TRUE(startedOverWrongType->usageHistory().isEmpty());

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"Vantorel.usageHistory": {"type": "data", "value": "W10="})");
    file.close();
    const StartupSettings damaged = StartupSettings::read(path());
    EXPECT_EQ(JsonFileSettingsStore::storedData(*damaged.contents, Keys::usageHistory), std::nullopt);
    const auto startedOverDamaged = started(true);
    waitForUsageHistory(*startedOverDamaged);
    EXPECT_TRUE(startedOverDamaged->usageHistory().isEmpty());
    EXPECT_TRUE(startedOverDamaged->notificationHistory().isEmpty());
}

// A reader that uses Qt before the application object is made must not become Qt's main thread:
// the application then warns that it is not on the main thread, and the reader's thread data is
// never freed (status 1 from the leak check at exit). Seen as a copy of the application that
// ended with status 1 on a busy machine.
TEST_F(StartupSettingsTest, TheApplicationMadeWhileTheReaderIsInTheFileIsOnTheMainThread)
{
    ASSERT_EQ(::mkfifo(QFile::encodeName(path()).constData(), 0600), 0);
    QProcess reader;
    reader.start(QStringLiteral(VANTOREL_SETTINGS_READER_FIRST), {path()});
    ASSERT_TRUE(reader.waitForFinished(30'000));
    const QString standardError = QString::fromUtf8(reader.readAllStandardError());
    EXPECT_TRUE(reader.exitStatus() == QProcess::NormalExit && reader.exitCode() == 0)
        << "status " << reader.exitCode() << "\n" << standardError.toStdString();
    EXPECT_FALSE(standardError.contains(u"main() thread")) << standardError.toStdString();
}

} // namespace
} // namespace vantorel
