#pragma once

#include <QList>
#include <QWidget>

#include <functional>

namespace vantorel {

class AppViewModel;
class SetupPageFrame;

// The nine-page onboarding guide. It shows the page of the view model's published onboarding
// progress and keeps no progress of its own: every button writes through the onboarding store
// and publishes what the store returns. It changes no setting. `dismiss` and `proceedToSetup`
// are called last in their click handlers, so they may schedule this view's deletion.
class MacOnboardingView : public QWidget
{
    Q_OBJECT

public:
    using Action = std::function<void()>;

    // Publishes the store's begin(): a second begin after the window's own is harmless.
    MacOnboardingView(AppViewModel& model, Action dismiss, Action proceedToSetup, QWidget* parent = nullptr);

private:
    // The page index of the published progress, clamped to the pages there are.
    int pageIndex() const;
    void render();
    void deferGuide();
    void goBack();
    void goForward();

    AppViewModel& m_model;
    Action m_dismiss;
    Action m_proceedToSetup;
    SetupPageFrame* m_frame;
    QList<QWidget*> m_pointRows;
};

} // namespace vantorel
