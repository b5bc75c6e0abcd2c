// Owns a session-bus name and keeps running after losing it: a copy that ignores being replaced.
// With "refuse" after the name it does not allow replacement either. Prints "ready" once the name
// is its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <cstdio>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const auto reply = QDBusConnection::sessionBus().interface()->registerService(
        QString::fromLocal8Bit(argv[1]), QDBusConnectionInterface::ReplaceExistingService,
        argc > 2 ? QDBusConnectionInterface::DontAllowReplacement : QDBusConnectionInterface::AllowReplacement);
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
