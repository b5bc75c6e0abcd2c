#pragma once

#include <QPointer>
#include <QWidget>

namespace vantorel {

class AppViewModel;
class NoticeLabel;

// One warning line above the pages while the settings or the log cannot be written; hidden
// otherwise. Named "storageFailureNotice".
class StorageFailureNotice final : public QWidget
{
public:
    explicit StorageFailureNotice(AppViewModel* viewModel, QWidget* parent = nullptr);

private:
    void refresh();

    QPointer<AppViewModel> m_viewModel;
    NoticeLabel* m_notice;
};

} // namespace vantorel
