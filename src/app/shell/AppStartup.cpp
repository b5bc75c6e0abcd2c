#include "app/shell/AppStartup.h"

#include "app/shell/VantorelApp.h"

namespace vantorel {

int runApplication(QApplication& app, std::future<std::shared_ptr<JsonFileSettingsStore::Contents>> settings)
{
    VantorelApp root(app, std::move(settings));
    return root.exec();
}

} // namespace vantorel
