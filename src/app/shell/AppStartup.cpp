#include "app/shell/AppStartup.h"

#include "app/shell/VantorelApp.h"

namespace vantorel {

int runApplication(QApplication& app, std::future<StartupSettings> settings)
{
    VantorelApp root(app, std::move(settings));
    return root.exec();
}

} // namespace vantorel
