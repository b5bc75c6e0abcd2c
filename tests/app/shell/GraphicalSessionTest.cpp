#include "app/shell/GraphicalSession.h"

#include <QProcess>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

QProcessEnvironment environment(const QStringList& assignments)
{
    QProcessEnvironment result;
    result.insert(QStringLiteral("HOME"), QStringLiteral("/tmp"));
    for (const QString& assignment : assignments)
        result.insert(assignment.section(u'=', 0, 0), assignment.section(u'=', 1));
    return result;
}

TEST(GraphicalSession, ADisplayOrAChosenPlatformIsNeeded)
{
    struct Case {
        QStringList environment;
        QStringList arguments;
        bool available;
    };
    const Case cases[] = {
        {{}, {}, false},
        {{"DISPLAY="}, {}, false},
        {{"DISPLAY=:0"}, {}, true},
        {{"WAYLAND_DISPLAY=wayland-0"}, {}, true},
        {{"QT_QPA_PLATFORM=offscreen"}, {}, true},
        {{}, {"-platform", "offscreen"}, true},
        {{}, {"--platform", "offscreen"}, true},
        {{}, {"-platformtheme"}, false},
    };
    for (const Case& c : cases)
        EXPECT_EQ(GraphicalSession::available(environment(c.environment), c.arguments), c.available)
            << c.environment.join(u' ').toStdString() << " " << c.arguments.join(u' ').toStdString();
}

TEST(GraphicalSession, TheApplicationWithoutADisplaySaysSoInOneLine)
{
    QProcess app;
    QProcessEnvironment clean = QProcessEnvironment::systemEnvironment();
    for (const char* name : {"DISPLAY", "WAYLAND_DISPLAY", "QT_QPA_PLATFORM"})
        clean.remove(QString::fromLatin1(name));
    app.setProcessEnvironment(clean);
    app.start(QStringLiteral(VANTOREL_APP_BINARY), {});
    ASSERT_TRUE(app.waitForFinished(30'000));
    EXPECT_EQ(app.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(app.exitCode(), 1);
    EXPECT_EQ(QString::fromUtf8(app.readAllStandardError()), GraphicalSession::missingMessage() + u'\n');
    EXPECT_TRUE(app.readAllStandardOutput().isEmpty());
}

} // namespace
} // namespace vantorel
