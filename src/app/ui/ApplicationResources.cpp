#include "app/ui/ApplicationResources.h"

// The resources are compiled into a static library, whose registration code the linker keeps
// only when something refers to it.
static void registerCompiledResources()
{
    Q_INIT_RESOURCE(resources);
}

namespace vantorel {

void ApplicationResources::registerAll()
{
    static const bool registered = [] {
        registerCompiledResources();
        return true;
    }();
    Q_UNUSED(registered);
}

QIcon ApplicationResources::applicationIcon()
{
    registerAll();
    return QIcon(QStringLiteral(":/vantorel.svg"));
}

} // namespace vantorel
