#pragma once

#include "app/viewmodel/AppState.h"
#include "core/foundation/CancelToken.h"

#include <QPointer>
#include <QString>

#include <QCoroTask>

#include <optional>

namespace vantorel {

class AppViewModel;

// Short status texts that clear themselves: a text is published and removed after a while if
// the field still holds exactly that text, so a newer text outlives an older one's timer.
class TransientMessage final
{
public:
    using Field = std::optional<QString> AppState::*;

    static constexpr double displaySeconds = 3;

    explicit TransientMessage(AppViewModel& viewModel);

    // Publishes `text` in `field` and starts its own timer; timers are neither kept nor cancelled.
    void show(Field field, const QString& text, double seconds = displaySeconds);

private:
    static QCoro::Task<> clearLater(QPointer<AppViewModel> viewModel, Field field, QString text, double seconds,
                                    CancelToken token);

    AppViewModel& m_viewModel;
};

} // namespace vantorel
