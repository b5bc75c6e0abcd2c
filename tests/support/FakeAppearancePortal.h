#pragma once

#include <QDBusConnection>

#include <memory>

namespace vantorel {

// The desktop portal's settings interface, answering only the colour scheme, served on the
// given connection's thread under the portal's own name. A stand-in desktop for a whole process
// (the smoke run): tests inside one process use a connection of their own.
class FakeAppearancePortal
{
public:
    // The portal's values: 0 no preference, 1 dark, 2 light.
    enum class Scheme : uint { noPreference = 0, dark = 1, light = 2 };

    FakeAppearancePortal(QDBusConnection bus, Scheme scheme);
    ~FakeAppearancePortal();

    bool isServing() const { return m_serving; }
    // Answers `scheme` from now on and announces it with SettingChanged, as the portal does.
    void setScheme(Scheme scheme);

private:
    struct Object;
    QDBusConnection m_bus;
    std::unique_ptr<Object> m_object;
    bool m_serving = false;
};

} // namespace vantorel
