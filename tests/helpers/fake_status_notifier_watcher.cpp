// A stand-in tray host for integration tests: owns org.kde.StatusNotifierWatcher on the session
// bus, takes the first item that registers, prints the sizes of its IconPixmap and the title of
// its ToolTip, asks for its context menu as a right click on a panel does, and quits, so that the
// item sees its host go away. With --stay it keeps serving as
// the tray host, as a desktop's panel does (for measuring an idle item).
#include <QCoreApplication>
#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QTimer>

#include <cstdio>

namespace {

void printLine(const QString& line)
{
    std::fputs(qPrintable(line + u'\n'), stdout);
    std::fflush(stdout);
}

// a(iiay) as "WxH" texts; "(bad)" marks pixel data that is not four bytes a pixel.
QStringList pixmapSizes(const QDBusArgument& argument)
{
    QStringList sizes;
    argument.beginArray();
    while (!argument.atEnd()) {
        int width = 0, height = 0;
        QByteArray bytes;
        argument.beginStructure();
        argument >> width >> height >> bytes;
        argument.endStructure();
        sizes.append(QString::number(width) + u'x' + QString::number(height)
                     + (bytes.size() == width * height * 4 ? QString() : QStringLiteral("(bad)")));
    }
    argument.endArray();
    return sizes;
}

QDBusArgument itemProperty(const QVariantMap& properties, const QString& name)
{
    return properties.value(name).value<QDBusArgument>();
}

class Watcher final : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.kde.StatusNotifierWatcher")
    Q_PROPERTY(bool IsStatusNotifierHostRegistered READ isHostRegistered)
    Q_PROPERTY(int ProtocolVersion READ protocolVersion)

public:
    bool isHostRegistered() const { return true; }
    int protocolVersion() const { return 0; }

public slots:
    void RegisterStatusNotifierItem(const QString& serviceOrPath, const QDBusMessage& message)
    {
        const bool isPath = serviceOrPath.startsWith(u'/');
        const QString service = isPath ? message.service() : serviceOrPath;
        const QString path = isPath ? serviceOrPath : QStringLiteral("/StatusNotifierItem");
        emit StatusNotifierItemRegistered(service + path);
        // Read after replying: the item's process may be waiting for the reply.
        QTimer::singleShot(0, this, [service, path] { readItem(service, path); });
    }
    void RegisterStatusNotifierHost(const QString&) {}

signals:
    void StatusNotifierItemRegistered(const QString& item);
    void StatusNotifierItemUnregistered(const QString& item);
    void StatusNotifierHostRegistered();

private:
    static void readItem(const QString& service, const QString& path)
    {
        auto call = QDBusMessage::createMethodCall(service, path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                   QStringLiteral("GetAll"));
        call << QStringLiteral("org.kde.StatusNotifierItem");
        auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, [service, path](QDBusPendingCallWatcher* finished) {
            const QDBusPendingReply<QVariantMap> reply = *finished;
            finished->deleteLater();
            if (reply.isError()) {
                printLine(u"error " + reply.error().message());
                QCoreApplication::exit(1);
                return;
            }
            printLine(u"IconPixmap " + pixmapSizes(itemProperty(reply.value(), QStringLiteral("IconPixmap"))).join(u' '));
            // (s a(iiay) s s): icon name, pixmaps, title, description.
            const auto toolTip = itemProperty(reply.value(), QStringLiteral("ToolTip"));
            QString iconName, title, description;
            toolTip.beginStructure();
            toolTip >> iconName;
            pixmapSizes(toolTip);
            toolTip >> title >> description;
            toolTip.endStructure();
            printLine(u"ToolTip " + title);
            if (!QCoreApplication::arguments().contains(QStringLiteral("--stay")))
                requestContextMenu(service, path);
        });
    }

    static void requestContextMenu(const QString& service, const QString& path)
    {
        auto call = QDBusMessage::createMethodCall(service, path,
                                                   QStringLiteral("org.kde.StatusNotifierItem"),
                                                   QStringLiteral("ContextMenu"));
        call << 0 << 0;
        auto* pending = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(call));
        QObject::connect(pending, &QDBusPendingCallWatcher::finished, [](QDBusPendingCallWatcher* finished) {
            finished->deleteLater();
            printLine(finished->isError() ? u"ContextMenu " + finished->error().message()
                                          : QStringLiteral("ContextMenu answered"));
            QCoreApplication::quit();
        });
    }
};

} // namespace

int main(int argc, char** argv)
{
    QCoreApplication app(argc, argv);
    Watcher watcher;
    auto bus = QDBusConnection::sessionBus();
    if (!bus.registerObject(QStringLiteral("/StatusNotifierWatcher"), &watcher, QDBusConnection::ExportAllContents)
        || !bus.registerService(QStringLiteral("org.kde.StatusNotifierWatcher"))) {
        printLine(QStringLiteral("error cannot own the watcher name"));
        return 1;
    }
    return app.exec();
}

#include "fake_status_notifier_watcher.moc"
