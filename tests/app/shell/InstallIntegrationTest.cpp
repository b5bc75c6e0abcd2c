#include "app/platform/LoginItemService.h"
#include "support/TestFiles.h"

#include <QDir>
#include <QFileInfo>
#include <QProcess>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

bool run(const QString& program, const QStringList& arguments)
{
    QProcess process;
    process.setProcessChannelMode(QProcess::ForwardedChannels);
    process.start(program, arguments);
    return process.waitForFinished(60'000) && process.exitStatus() == QProcess::NormalExit && process.exitCode() == 0;
}

// The [Desktop Entry] values, raw.
QHash<QString, QString> entryValues(const QString& path)
{
    QHash<QString, QString> values;
    for (const QByteArray& line : test::readFileBytes(path).split('\n')) {
        const qsizetype equals = line.indexOf('=');
        if (equals > 0)
            values.insert(QString::fromUtf8(line.left(equals)), QString::fromUtf8(line.mid(equals + 1)));
    }
    return values;
}

TEST(InstallIntegration, InstallsAStartableMenuEntryAndUninstallRemovesExactlyWhatItPut)
{
    QTemporaryDir root;
    // A prefix that a naive Exec line would split or expand.
    const QString prefix = root.filePath(QStringLiteral("my apps/$HOME \"q\""));
    const QString manifest = QStringLiteral(VANTOREL_BUILD_DIR "/install_manifest.txt");
    ASSERT_TRUE(run(QStringLiteral(VANTOREL_CMAKE_COMMAND),
                    {QStringLiteral("--install"), QStringLiteral(VANTOREL_BUILD_DIR), QStringLiteral("--prefix"), prefix}));

    const QString binary = prefix + QStringLiteral("/bin/vantorel");
    const QString entry = prefix + QStringLiteral("/share/applications/vantorel.desktop");
    const QString icon = prefix + QStringLiteral("/share/icons/hicolor/scalable/apps/vantorel.svg");
    EXPECT_TRUE(QFileInfo(binary).isExecutable());
    EXPECT_TRUE(QFileInfo::exists(icon));

    const auto values = entryValues(entry);
    EXPECT_EQ(values.value(QStringLiteral("Name")), u"Vantorel");
    EXPECT_EQ(values.value(QStringLiteral("StartupNotify")), u"false");
    EXPECT_EQ(values.value(QStringLiteral("Icon")), QFileInfo(icon).completeBaseName());
    EXPECT_TRUE(values.value(QStringLiteral("Categories")).endsWith(u';'));
    EXPECT_TRUE(values.value(QStringLiteral("Comment")).contains(u"利用枠"));
    EXPECT_EQ(LoginItemService::execProgram(values.value(QStringLiteral("Exec"))), binary)
        << values.value(QStringLiteral("Exec")).toStdString();

    QStringList listed = QString::fromUtf8(test::readFileBytes(manifest)).split(u'\n', Qt::SkipEmptyParts);
    listed.sort();
    QStringList expected{binary, entry, icon};
    expected.sort();
    EXPECT_EQ(listed, expected);

    ASSERT_TRUE(run(QStringLiteral("bash"), {QStringLiteral(VANTOREL_SOURCE_DIR "/scripts/uninstall.sh"), manifest}));
    for (const QString& file : expected)
        EXPECT_FALSE(QFileInfo::exists(file)) << file.toStdString();
    EXPECT_TRUE(QFileInfo(prefix + QStringLiteral("/share/applications")).isDir()) << "folders are left alone";
}

} // namespace
} // namespace vantorel
