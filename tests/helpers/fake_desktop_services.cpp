// Stand-ins for the desktop around the real application in the smoke run (scripts/smoke.sh).
//
//   fake_desktop_services serve NOTIFICATIONS_FILE
//       Serves org.freedesktop.Notifications and the desktop portal (light colours) on the
//       session bus and logind and UPower under their own names on the system bus, prints
//       "ready" once every name is owned, and appends each notification to NOTIFICATIONS_FILE as
//       one line "<summary>\t<body>" (line feeds as "\n"). Reads commands from standard input,
//       one a line, and quits at its end:
//         session-reactivate       the session turns inactive, then active again
//         color-scheme dark|light  the desktop asks for dark or light colours
//   fake_desktop_services shots
//       Takes pictures of X windows, one request a line on standard input, one answer a line:
//         WINDOW_ID FILE [before=PNG] [region=X,Y,W,H] [wait=MILLISECONDS]
//       grabs the window (decimal or 0x hex id) until its picture differs from the one in
//       `before` (within `region`, when given) and two grabs in a row agree, then saves it as
//       PNG in FILE and answers "changed". A picture that never differs within `wait` is saved
//       all the same and answered "unchanged"; "failed" means no picture could be taken.
#include "support/FakeAppearancePortal.h"
#include "support/FakeDesktopSession.h"
#include "support/FakeNotificationServer.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QGuiApplication>
#include <QImage>
#include <QPixmap>
#include <QScreen>
#include <QSocketNotifier>
#include <QTextStream>
#include <QThread>

#include <cstdio>
#include <memory>
#include <mutex>
#include <optional>

#include <unistd.h>

using namespace vantorel;

namespace {

constexpr qsizetype maximumCommandLength = 256;
// How long a picture may take to differ from the one before it, unless the request says.
constexpr int defaultChangeWaitMs = 10'000;
// How long a changed picture may keep changing before the last one is taken as it stands.
constexpr int settleWaitMs = 1'000;
constexpr unsigned long grabIntervalMs = 40;
// Two grabs this far apart that agree: the window has finished drawing.
constexpr unsigned long stillIntervalMs = 100;

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
    FakeAppearancePortal portal(QDBusConnection::sessionBus(), FakeAppearancePortal::Scheme::light);
    if (!notificationServer.isServing() || !session.isServing() || !portal.isServing())
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
            } else if (command == "color-scheme dark") {
                portal.setScheme(FakeAppearancePortal::Scheme::dark);
            } else if (command == "color-scheme light") {
                portal.setScheme(FakeAppearancePortal::Scheme::light);
            }
        }
        if (pending.size() > maximumCommandLength)
            pending.clear();
    });
    return app.exec();
}

struct ShotRequest
{
    WId window = 0;
    QString file;
    QImage before;
    std::optional<QRect> region;
    int waitMs = defaultChangeWaitMs;
};

std::optional<ShotRequest> parseShotRequest(const QString& line)
{
    const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
    if (words.size() < 2)
        return std::nullopt;
    ShotRequest request;
    bool valid = false;
    request.window = words[0].toULongLong(&valid, 0);
    if (!valid)
        return std::nullopt;
    request.file = words[1];
    for (const QString& word : words.mid(2)) {
        const QString value = word.section(u'=', 1);
        if (word.startsWith(u"before=")) {
            request.before = QImage(value).convertToFormat(QImage::Format_RGB32);
        } else if (word.startsWith(u"region=")) {
            const QStringList numbers = value.split(u',');
            if (numbers.size() != 4)
                return std::nullopt;
            request.region = QRect(numbers[0].toInt(), numbers[1].toInt(), numbers[2].toInt(), numbers[3].toInt());
        } else if (word.startsWith(u"wait=")) {
            request.waitMs = value.toInt(&valid);
            if (!valid)
                return std::nullopt;
        } else {
            return std::nullopt;
        }
    }
    return request;
}

// Grabs until the picture differs from the one before (when there is one) and holds still.
QString takeShot(QScreen& screen, const ShotRequest& request)
{
    const auto part = [&](const QImage& image) { return request.region ? image.copy(*request.region) : image; };
    const auto grab = [&] { return screen.grabWindow(request.window).toImage().convertToFormat(QImage::Format_RGB32); };
    const bool compare = !request.before.isNull();
    QElapsedTimer clock;
    clock.start();
    QImage picture = grab();
    bool changed = !compare || part(picture) != part(request.before);
    while (!changed && !picture.isNull() && clock.elapsed() < request.waitMs) {
        QThread::msleep(grabIntervalMs);
        picture = grab();
        changed = part(picture) != part(request.before);
    }
    if (changed) {
        clock.restart();
        for (;;) {
            QThread::msleep(stillIntervalMs);
            QImage next = grab();
            const bool still = next == picture;
            picture = std::move(next);
            if (still || clock.elapsed() >= settleWaitMs)
                break;
        }
    }
    if (picture.isNull() || !picture.save(request.file, "PNG"))
        return QStringLiteral("failed");
    return changed ? QStringLiteral("changed") : QStringLiteral("unchanged");
}

int shots(int argc, char** argv)
{
    QGuiApplication app(argc, argv);
    QScreen* screen = QGuiApplication::primaryScreen();
    if (!screen)
        return 2;
    QTextStream input(stdin);
    QString line;
    while (input.readLineInto(&line, maximumCommandLength * 4)) {
        const auto request = parseShotRequest(line);
        const QString answer = request ? takeShot(*screen, *request) : QStringLiteral("failed");
        std::fputs(qPrintable(answer + u'\n'), stdout);
        std::fflush(stdout);
    }
    return 0;
}

} // namespace

int main(int argc, char** argv)
{
    const QByteArray mode = argc > 1 ? QByteArray(argv[1]) : QByteArray();
    if (mode == "serve")
        return serve(argc, argv);
    if (mode == "shots")
        return shots(argc, argv);
    std::fputs("usage: fake_desktop_services serve FILE | shots\n", stderr);
    return 2;
}
