#pragma once

#include <QPointer>
#include <QWidget>

class QLabel;

namespace vantorel {

class AppViewModel;

// One warning above the pages while the settings or the log cannot be written, on an orange
// tinted ground with a warning sign; hidden otherwise. Named "storageFailureNotice"; its text
// "storageFailureNotice.text".
class StorageFailureNotice final : public QWidget
{
public:
    explicit StorageFailureNotice(AppViewModel* viewModel, QWidget* parent = nullptr);

private:
    void refresh();

    QPointer<AppViewModel> m_viewModel;
    QLabel* m_text;
};

} // namespace vantorel
