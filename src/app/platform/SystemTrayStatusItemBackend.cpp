#include "app/platform/SystemTrayStatusItemBackend.h"

#include <QCursor>
#include <QDBusConnectionInterface>
#include <QDBusMessage>
#include <QDBusReply>
#include <QDBusVariant>
#include <QDBusServiceWatcher>
#include <QGuiApplication>
#include <QIconEngine>
#include <QPointer>

namespace vantorel {

namespace {

StatusItemBackend::Activation activationOf(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Context:
        return StatusItemBackend::Activation::context;
    case QSystemTrayIcon::DoubleClick:
        return StatusItemBackend::Activation::doubleClick;
    case QSystemTrayIcon::MiddleClick:
        return StatusItemBackend::Activation::middleClick;
    case QSystemTrayIcon::Trigger:
    case QSystemTrayIcon::Unknown:
        break;
    }
    return StatusItemBackend::Activation::trigger;
}

// Bounds the one question put to the watcher at construction; an answering watcher takes a
// millisecond.
constexpr int watcherCallTimeoutMs = 2'000;

bool statusNotifierHostRegistered(const QDBusConnection& bus)
{
    auto call = QDBusMessage::createMethodCall(SystemTrayStatusItemBackend::statusNotifierWatcherService,
                                               QStringLiteral("/StatusNotifierWatcher"),
                                               QStringLiteral("org.freedesktop.DBus.Properties"), QStringLiteral("Get"));
    call << SystemTrayStatusItemBackend::statusNotifierWatcherService << QStringLiteral("IsStatusNotifierHostRegistered");
    const QDBusReply<QDBusVariant> reply = bus.call(call, QDBus::Block, watcherCallTimeoutMs);
    return reply.isValid() && reply.value().variant().toBool();
}

} // namespace

// Qt answers by opening a bus connection of its own and dropping it again, about 4 ms of the
// GUI thread at start. Its answer is "a watcher is on the bus" when it draws the item over the
// bus; otherwise, or without a watcher, it asks the X11 tray. The first half is asked here on
// the session bus already open.
std::function<bool()> SystemTrayStatusItemBackend::qtAvailabilityCheck(QDBusConnection sessionBus, bool overTheBus)
{
    return [sessionBus, overTheBus] {
        auto* bus = overTheBus ? sessionBus.interface() : nullptr;
        if (bus && bus->isServiceRegistered(statusNotifierWatcherService).value())
            return true;
        return QSystemTrayIcon::isSystemTrayAvailable();
    };
}

SystemTrayStatusItemBackend::SystemTrayStatusItemBackend(QDBusConnection sessionBus,
                                                         std::function<bool()> checkAvailability, QObject* parent)
    : StatusItemBackend(parent)
    , m_watcher(new QDBusServiceWatcher(statusNotifierWatcherService, sessionBus,
                                        QDBusServiceWatcher::WatchForOwnerChange, this))
    , m_checkAvailability(std::move(checkAvailability))
{
    // Asked after m_icon is made, when Qt has chosen how to draw it.
    m_overTheBus = sessionBus.isConnected() && statusNotifierHostRegistered(sessionBus);
    if (!m_checkAvailability)
        m_checkAvailability = qtAvailabilityCheck(sessionBus, m_overTheBus);
    // First, so that whoever follows the announcement reads the new answer.
    connect(this, &StatusItemBackend::availabilityMayHaveChanged, this, [this] { m_available.reset(); });
    connect(&m_icon, &QSystemTrayIcon::activated, this,
            [this](QSystemTrayIcon::ActivationReason reason) { emit activated(activationOf(reason)); });
    connect(m_watcher, &QDBusServiceWatcher::serviceOwnerChanged, this,
            &StatusItemBackend::availabilityMayHaveChanged);
    // A host may come to or leave a watcher that stays.
    for (const char* signal : {"StatusNotifierHostRegistered", "StatusNotifierHostUnregistered"})
        sessionBus.connect(statusNotifierWatcherService, QStringLiteral("/StatusNotifierWatcher"),
                           statusNotifierWatcherService, QString::fromLatin1(signal), this, SLOT(hostsChanged()));
    followXEmbedTrayWindow();
}

void SystemTrayStatusItemBackend::hostsChanged()
{
    emit availabilityMayHaveChanged();
}

SystemTrayStatusItemBackend::~SystemTrayStatusItemBackend() = default;

// Qt's X11 platform announces every change of the XEmbed tray window, but only through its
// native interface, whose class is private to Qt. It is a QObject, so the signal is reached by
// name; on other platforms the signal does not exist and nothing is connected.
void SystemTrayStatusItemBackend::followXEmbedTrayWindow()
{
    auto* native = reinterpret_cast<QObject*>(QGuiApplication::platformNativeInterface());
    if (!native)
        return;
    const char* signature = "systemTrayWindowChanged(QScreen*)";
    if (native->metaObject()->indexOfSignal(signature) < 0)
        return;
    connect(native, SIGNAL(systemTrayWindowChanged(QScreen*)), this, SIGNAL(availabilityMayHaveChanged()));
}

bool SystemTrayStatusItemBackend::isAvailable() const
{
    if (!m_available)
        m_available = m_checkAvailability();
    return *m_available;
}

// Hands the icon's pictures on unchanged and tells the backend when one is first taken: the host
// reads them over the bus, or paints the embedded icon, only once it shows the item.
class SystemTrayStatusItemBackend::ReadReportingIconEngine final : public QIconEngine
{
public:
    ReadReportingIconEngine(QIcon icon, QPointer<SystemTrayStatusItemBackend> backend)
        : m_icon(std::move(icon))
        , m_backend(std::move(backend))
    {
    }

    void paint(QPainter* painter, const QRect& rect, QIcon::Mode mode, QIcon::State state) override
    {
        m_icon.paint(painter, rect, Qt::AlignCenter, mode, state);
        report();
    }
    QPixmap pixmap(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        // At ratio 1 the icon hands over its engine's picture of exactly this size.
        QPixmap picture = m_icon.pixmap(size, 1.0, mode, state);
        report();
        return picture;
    }
    QSize actualSize(const QSize& size, QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.actualSize(size, mode, state);
    }
    QList<QSize> availableSizes(QIcon::Mode mode, QIcon::State state) override
    {
        return m_icon.availableSizes(mode, state);
    }
    QString iconName() override { return m_icon.name(); }
    bool isNull() override { return m_icon.isNull(); }
    QIconEngine* clone() const override { return new ReadReportingIconEngine(m_icon, m_backend); }

private:
    void report()
    {
        if (m_backend)
            m_backend->pictureRead();
    }

    QIcon m_icon;
    QPointer<SystemTrayStatusItemBackend> m_backend;
};

void SystemTrayStatusItemBackend::setIcon(const QIcon& icon)
{
    if (m_pictureRead || icon.isNull()) {
        m_icon.setIcon(icon);
        return;
    }
    m_icon.setIcon(QIcon(new ReadReportingIconEngine(icon, this)));
}

void SystemTrayStatusItemBackend::pictureRead()
{
    if (m_pictureRead)
        return;
    m_pictureRead = true;
    // Not inside the host's read: its answer goes out first.
    QMetaObject::invokeMethod(this, &StatusItemBackend::firstPictureRead, Qt::QueuedConnection);
}

void SystemTrayStatusItemBackend::setToolTip(const QString& title, const QStringList& lines)
{
    // Qt hands a StatusNotifierItem host the whole text as the tool tip's title; hosts show its
    // line feeds as lines.
    m_icon.setToolTip(m_overTheBus ? title + u'\n' + lines.join(u'\n') : lines.join(QStringLiteral(" / ")));
}

void SystemTrayStatusItemBackend::setVisible(bool visible)
{
    m_icon.setVisible(visible);
}

bool SystemTrayStatusItemBackend::isVisible() const
{
    return m_icon.isVisible();
}

QRect SystemTrayStatusItemBackend::anchorRectangle() const
{
    // An XEmbed icon knows its window; a StatusNotifierItem host keeps the position to itself.
    const QRect frame = m_icon.geometry();
    if (!frame.isEmpty())
        return frame;
    return QRect(QCursor::pos(), QSize(1, 1));
}

} // namespace vantorel
