#include "app/window/ContentEnvironment.h"

#include "app/platform/UrlOpener.h"
#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/AppDiagnostics.h"

namespace vantorel {

void ContentEnvironment::openPage(const QUrl& url, const QString& name) const
{
    auto failed = [url, name, viewModel = QPointer<AppViewModel>(viewModel)] {
        AppDiagnostics::log(QStringLiteral("window.openURL failed url=") + url.toString());
        if (viewModel)
            viewModel->reportOpenFailure(OpenFailure::Kind::page, name);
    };
    if (urlOpener)
        urlOpener->open(url, std::move(failed));
    else
        failed();
}

void ContentEnvironment::quitApplication() const
{
    const QString message = QStringLiteral("app.quitRequested");
    if (viewModel)
        viewModel->log(message);
    else
        AppDiagnostics::log(message);
    if (quit)
        quit();
}

} // namespace vantorel
