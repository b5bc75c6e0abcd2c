#include "app/viewmodel/TransientMessage.h"

#include "app/viewmodel/AppViewModel.h"
#include "core/foundation/CancellationError.h"
#include "core/foundation/Sleeper.h"

namespace vantorel {

TransientMessage::TransientMessage(AppViewModel& viewModel)
    : m_viewModel(viewModel)
{
}

void TransientMessage::show(Field field, const QString& text, double seconds)
{
    m_viewModel.publishedState().*field = text;
    QPointer<AppViewModel> viewModel(&m_viewModel);
    const CancelToken token = m_viewModel.lifetime().child();
    m_viewModel.startTask([viewModel, field, text, seconds, token] {
        return clearLater(viewModel, field, text, seconds, token);
    });
}

QCoro::Task<> TransientMessage::clearLater(QPointer<AppViewModel> viewModel, Field field, QString text,
                                           double seconds, CancelToken token)
{
    if (!viewModel) {
        co_return;
    }
    try {
        co_await viewModel->sleeper().sleep(seconds, token);
    } catch (const CancellationError&) {
        // A cancelled wait still clears the text; only a view model that is gone stops it.
    }
    if (viewModel && viewModel->state().*field == text) {
        viewModel->publishedState().*field = std::nullopt;
    }
}

} // namespace vantorel
