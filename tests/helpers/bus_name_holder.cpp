// Owns a session-bus name and keeps running after losing it: a copy that ignores being replaced.
// With "refuse" after the name it does not allow replacement either. With "yield" it stands for a
// copy that writes its last state as it quits: on losing the name it prints "lost", and it leaves
// the bus once its standard input ends, after the test has written that state. Prints "ready"
// once the name is its own.
#include <QCoreApplication>
#include <QDBusConnection>
#include <QDBusConnectionInterface>

#include <cstdio>
#include <cstring>

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    if (argc < 2)
        return 2;
    const QString name = QString::fromLocal8Bit(argv[1]);
    const bool refuse = argc > 2 && std::strcmp(argv[2], "refuse") == 0;
    const bool yield = argc > 2 && std::strcmp(argv[2], "yield") == 0;
    QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    if (yield) {
        QObject::connect(bus, &QDBusConnectionInterface::serviceUnregistered, &app, [name](const QString& lost) {
            if (lost != name)
                return;
            std::puts("lost");
            std::fflush(stdout);
            while (std::getchar() != EOF) {
            }
            QCoreApplication::quit();
        });
    }
    const auto reply = bus->registerService(name, QDBusConnectionInterface::ReplaceExistingService,
                                            refuse ? QDBusConnectionInterface::DontAllowReplacement
                                                   : QDBusConnectionInterface::AllowReplacement);
    if (reply.value() != QDBusConnectionInterface::ServiceRegistered)
        return 1;
    std::puts("ready");
    std::fflush(stdout);
    return app.exec();
}
