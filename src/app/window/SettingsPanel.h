#pragma once

#include "app/ui/Binding.h"
#include "app/viewmodel/DiscordTestDraft.h"
#include "app/window/ContentEnvironment.h"
#include "app/window/PopoverPage.h"
#include "app/window/SettingsPresenter.h"
#include "core/foundation/TaskHandle.h"

#include <QPointer>
#include <QWidget>

#include <functional>
#include <memory>
#include <optional>
#include <vector>

class QLabel;
class QScrollArea;
class QSpinBox;
class QVBoxLayout;

namespace vantorel {

class AppViewModel;
class ClaudeAutomaticRecoveryControl;
class ClaudeRecoveryView;
class DisclosureGroup;
class DiscordTestPreviewView;
class LineLimitedLabel;
class NoticeLabel;
class Sleeper;
class ToggleSwitch;

// The settings page: one scrolling column of the guide and setup rows, the sync sections, the
// settings sections, the action buttons, the Claude and error lines, the Discord section with
// its lines and outbox, and the "現在の通知対象" and "詳細" groups. Every control writes the whole
// settings record through the view model; the page re-reads everything on each change of it.
// Built anew each time the page is opened, so "詳細" starts collapsed.
class SettingsPanel : public QWidget
{
    Q_OBJECT

public:
    SettingsPanel(const ContentEnvironment& environment, Binding<PopoverPage> page, QWidget* parent = nullptr);
    ~SettingsPanel() override;

    // Re-reads the view model; writes nothing.
    void refresh();

    // The column's entries, top to bottom (the test of their order reads it).
    QList<QWidget*> entries() const { return m_entries; }

private:
    QWidget* addEntry(QWidget* entry, const QString& name);
    QWidget* section(const QString& name, const QString& title, int spacing, QVBoxLayout** column);
    QWidget* buildFlowRow(SettingsPresenter::Flow flow);
    QWidget* buildServices();
    QWidget* buildAutomaticFetch();
    QWidget* buildAppSection();
    QWidget* buildCategoryGroup(NotificationChannel channel);
    QWidget* buildMenuBarSection();
    QWidget* buildActions();
    QWidget* buildTargets();
    ToggleSwitch* toggle(QWidget* parent, const QString& name, const QString& title, Binding<bool> binding);
    void runAction(SettingsPresenter::Action action);
    void openFlow(SettingsPresenter::Flow flow, bool restart);
    void updateClaudeLine();
    void updateActions();
    void updateSheet();
    void updateDiscordRetry();
    static QCoro::Task<> endDiscordRetry(QPointer<SettingsPanel> self, std::shared_ptr<Sleeper> sleeper, double seconds,
                                         CancelToken token);

    AppViewModel& m_model;
    ContentEnvironment m_environment;
    Binding<PopoverPage> m_page;
    Binding<AppSettings> m_settings;
    QScrollArea* m_scroll;
    QVBoxLayout* m_column;
    QList<QWidget*> m_entries;
    // Re-reads of the bound controls and of the conditions on them, run by refresh().
    std::vector<std::function<void()>> m_refreshers;

    QWidget* m_launchAtLoginMessage = nullptr;
    QLabel* m_launchAtLoginText = nullptr;
    QWidget* m_actions = nullptr;
    ClaudeRecoveryView* m_claudeRecovery = nullptr;
    QLabel* m_claudeMessage = nullptr;
    LineLimitedLabel* m_error = nullptr;
    QLabel* m_discordMessage = nullptr;
    NoticeLabel* m_discordAttention = nullptr;
    // Said once, near the top, while no secret service answers.
    NoticeLabel* m_secretStoreNotice = nullptr;
    QLabel* m_discordRetry = nullptr;
    // One wait until the Discord hold ends, to take its line away; armed again only when the
    // hold's end moves.
    TaskHandle m_discordRetryEnd;
    std::optional<Date> m_discordRetryEndsAt;
    DisclosureGroup* m_advanced = nullptr;
    QPointer<DiscordTestPreviewView> m_sheet;
    // The last draft the user answered in the sheet, which must not open again.
    std::optional<DiscordTestDraft> m_answeredDraft;
    bool m_sheetAllowed = false;
};

} // namespace vantorel
