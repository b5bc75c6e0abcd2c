#include "app/shell/StartupSettings.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/AppViewModelDependencies.h"
#include "app/viewmodel/StoredHistories.h"
#include "app/viewmodel/StoredState.h"
#include "core/model/HistoryRetention.h"
#include "core/model/ModelCoding.h"
#include "support/QtPrinters.h"

#include <QFile>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

using Keys = StoredState::Keys;

const Date now = Date::fromUnixSeconds(1'772'323'200);

class StartupSettingsTest : public ::testing::Test
{
protected:
    QString path() const { return m_directory.filePath(QStringLiteral("defaults.json")); }

    // The store and view model as the start-up builds them over the file read on another thread,
    // with the histories that thread decoded (or, with `decodedBefore` false, without them).
    std::unique_ptr<AppViewModel> started(bool decodedBefore)
    {
        StartupSettings startup = StartupSettings::read(path());
        if (!decodedBefore)
            startup.histories.reset();
        AppViewModelDependencies dependencies;
        dependencies.defaults = std::make_shared<JsonFileSettingsStore>(std::move(startup.contents), path());
        dependencies.storedHistories = std::move(startup.histories);
        dependencies.automaticallyStartServices = false;
        dependencies.now = [] { return now; };
        return std::make_unique<AppViewModel>(std::move(dependencies));
    }

    QTemporaryDir m_directory;
};

TEST_F(StartupSettingsTest, HistoriesDecodedOnTheReadingThreadLoadAsTheViewModelWouldLoadThemItself)
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

    const auto decodedBefore = started(true);
    const auto decodedInLoad = started(false);
    EXPECT_EQ(decodedBefore->usageHistory(), decodedInLoad->usageHistory());
    EXPECT_EQ(decodedBefore->usageHistory().size(), 2);
    EXPECT_EQ(decodedBefore->notificationHistory(), decodedInLoad->notificationHistory());
    ASSERT_EQ(decodedBefore->notificationHistory().size(), 2);
    EXPECT_EQ(decodedBefore->notificationHistory().first().delivery->discord, NotificationDeliveryStatus::outcomeUnknown);
    // Taken by the load: no second copy of the lists stays with the view model.
    EXPECT_EQ(decodedBefore->dependencies().storedHistories, nullptr);
}

TEST_F(StartupSettingsTest, ADamagedFileOrAValueOfAnotherTypeGivesNoHistory)
{
    {
        JsonFileSettingsStore store(path());
        store.set(Keys::usageHistory, QStringLiteral("not data"));
    }
    const StartupSettings wrongType = StartupSettings::read(path());
    EXPECT_TRUE(wrongType.histories->usage.isEmpty());
    EXPECT_EQ(JsonFileSettingsStore::storedData(*wrongType.contents, Keys::usageHistory), std::nullopt);

    QFile file(path());
    ASSERT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
    file.write(R"({"Vantorel.usageHistory": {"type": "data", "value": "W10="})");
    file.close();
    const StartupSettings damaged = StartupSettings::read(path());
    EXPECT_EQ(JsonFileSettingsStore::storedData(*damaged.contents, Keys::usageHistory), std::nullopt);
    EXPECT_TRUE(damaged.histories->usage.isEmpty());
    EXPECT_TRUE(damaged.histories->notifications.isEmpty());
}

} // namespace
} // namespace vantorel
