// Stand-ins for the desktop around the real application in the smoke run (scripts/smoke.sh).
//
//   fake_desktop_services serve NOTIFICATIONS_FILE
//       Serves org.freedesktop.Notifications on the session bus and logind and UPower under
//       their own names on the system bus, prints "ready" once every name is owned, and appends
//       each notification to NOTIFICATIONS_FILE as one line "<summary>\t<body>" (line feeds as
//       "\n"). Reads commands from standard input, one a line, and quits at its end:
//         session-reactivate   the session turns inactive, then active again
//   fake_desktop_services grab WINDOW_ID FILE
//       Saves a picture of the X window (decimal or 0x hex id) as PNG.
#include "support/FakeDesktopSession.h"
#include "support/FakeNotificationServer.h"

#include <QCoreApplication>
#include <QFile>
#include <QGuiApplication>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>

#include <cstdio>
#include <memory>
#include <mutex>

#include <unistd.h>

using namespace vantorel;

namespace {

constexpr qsizetype maximumCommandLength = 256;

QByteArray escaped(const QString& text)
{
    return text.toUtf8().replace('\\', "\\\\").replace('\n', "\\n").replace('\t', "\\t");
}

int serve(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 3)
        return 2;
    auto notifications = std::make_shared<QFile>(QString::fromLocal8Bit(argv[2]));
    if (!notifications->open(QIODevice::Append | QIODevice::Unbuffered))
        return 1;
    FakeNotificationServer notificationServer(QStringLiteral("org.freedesktop.Notifications"));
    auto written = std::make_shared<std::mutex>();
    notificationServer.setObserver([notifications, written](const FakeNotificationServer::Call& call) {
        std::lock_guard lock(*written);
        notifications->write(escaped(call.summary) + '\t' + escaped(call.body) + '\n');
    });
    FakeDesktopSession session({.bus = QDBusConnection::SystemBus, .realNames = true});
    if (!notificationServer.isServing() || !session.isServing())
        return 1;
    std::puts("ready");
    std::fflush(stdout);

    QByteArray pending;
    QSocketNotifier input(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&input, &QSocketNotifier::activated, &app, [&] {
        char buffer[maximumCommandLength];
        const ssize_t count = ::read(STDIN_FILENO, buffer, sizeof buffer);
        if (count <= 0) {
            input.setEnabled(false);
            QCoreApplication::quit();
            return;
        }
        pending.append(buffer, count);
        for (qsizetype end = pending.indexOf('\n'); end >= 0; end = pending.indexOf('\n')) {
            const QByteArray command = pending.left(end).trimmed();
            pending.remove(0, end + 1);
            if (command == "session-reactivate") {
                session.set(FakeDesktopSession::Object::session, QStringLiteral("Active"), false);
                session.set(FakeDesktopSession::Object::session, QStringLiteral("Active"), true);
            }
        }
        if (pending.size() > maximumCommandLength)
            pending.clear();
    });
    return app.exec();
}

int grab(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    if (argc < 4)
        return 2;
    bool valid = false;
    const WId window = QByteArray(argv[2]).toULongLong(&valid, 0);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!valid || !screen)
        return 2;
    const QPixmap picture = screen->grabWindow(window);
    return !picture.isNull() && picture.save(QString::fromLocal8Bit(argv[3]), "PNG") ? 0 : 1;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "serve")
        return serve(argc, argv);
    if (mode == "grab")
        return grab(argc, argv);
    std::fputs("usage: fake_desktop_services serve FILE | grab WINDOW_ID FILE\n", stderr);
    return 2;
}
