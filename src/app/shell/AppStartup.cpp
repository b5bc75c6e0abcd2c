#include "app/shell/AppStartup.h"

#include "app/shell/VantorelApp.h"

namespace vantorel {

int runApplication(QApplication& app)
{
    VantorelApp root(app);
    return root.exec();
}

} // namespace vantorel
