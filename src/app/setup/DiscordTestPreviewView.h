#pragma once

#include "app/viewmodel/DiscordTestDraft.h"

#include <QDialog>

#include <functional>

namespace vantorel {

// The confirmation sheet of a Discord test message: the exact text that will be posted, with
// "キャンセル" (also Escape and closing the window) and "この内容を送信". Return presses only
// the button that has the focus. The host opens it window-modal with open() and decides what the
// two actions do.
class DiscordTestPreviewView : public QDialog
{
    Q_OBJECT

public:
    DiscordTestPreviewView(DiscordTestDraft draft, std::function<void()> cancel, std::function<void()> confirm,
                           QWidget* parent = nullptr);

    const DiscordTestDraft& draft() const { return m_draft; }

    static constexpr int sheetWidth = 420;

    // Closes the sheet without running either action (the host's state already moved on).
    void dismissQuietly();

    void reject() override;

private:
    DiscordTestDraft m_draft;
    std::function<void()> m_cancel;
    bool m_quiet = false;
};

} // namespace vantorel
