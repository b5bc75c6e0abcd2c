// Another Mac on the same cloud folder, run by the cloud tests as a second process:
//   vantorel_cloud_peer save <root> <hostID> <first revision> <count>
//       saves that many snapshots of the host, rising revisions, printing each outcome;
//   vantorel_cloud_peer hold <root>
//       takes the account's lock, prints "locked", and keeps it until standard input closes.
#include "sync/cloud/CloudKitDatabaseClient.h"
#include "sync/cloud/CloudKitSnapshotStore.h"
#include "sync/cloud/CloudTestSupport.h"
#include "sync/cloud/LocalCloudFiles.h"
#include "sync/cloud/LocalDirectoryCloudDatabase.h"
#include "sync/model/SyncModelFixtures.h"
#include "core/foundation/TimerSleeper.h"

#include <QCoreApplication>
#include <QFile>

#include <cstdio>
#include <iostream>

using namespace vantorel;

namespace {

QCoro::Task<QString> saved(CloudKitSnapshotStore& store, UsageSyncSnapshot snapshot, QString account)
{
    co_await store.saveSnapshot(std::move(snapshot), std::move(account), {});
    co_return QStringLiteral("ok");
}

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments();
    if (args.size() < 3)
        return 2;
    const QString root = args[2];
    TimerSleeper sleeper;
    auto database = std::make_shared<LocalDirectoryCloudDatabase>(root);
    CloudKitSnapshotStore store(std::make_shared<CloudKitDatabaseClient>(database, sleeper), nullptr);
    const auto account = waitForOutcome(store.accountIdentifier({}));
    if (!account.value)
        return 3;
    if (args[1] == QLatin1String("hold")) {
        const LocalCloudFiles files;
        const auto lock = files.lock(root + QLatin1Char('/') + *account.value + QStringLiteral("/lock"), 10, {});
        std::cout << (lock ? "locked" : "busy") << std::endl;
        std::string line;
        while (std::getline(std::cin, line)) {
        }
        return 0;
    }
    if (args[1] != QLatin1String("save") || args.size() < 6)
        return 2;
    UsageSyncSnapshot snapshot = test::emptySnapshot();
    snapshot.hostID = QUuid::fromString(args[3]);
    snapshot.generatedAt = Date::now();
    for (int i = 0; i < args[5].toInt(); ++i) {
        snapshot.revision = args[4].toULongLong() + static_cast<quint64>(i);
        std::cout << test::nameOf(waitForOutcome(saved(store, snapshot, *account.value))) << std::endl;
    }
    return 0;
}
