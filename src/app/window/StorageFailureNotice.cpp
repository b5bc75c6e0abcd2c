#include "app/window/StorageFailureNotice.h"

#include "app/ui/NoticeLabel.h"
#include "app/viewmodel/AppViewModel.h"

#include <QVBoxLayout>

namespace vantorel {

namespace {
constexpr int margin = 8;
} // namespace

StorageFailureNotice::StorageFailureNotice(AppViewModel* viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
    , m_notice(new NoticeLabel(QString(), QStringLiteral("exclamationmark.triangle.fill"), this))
{
    setObjectName(QStringLiteral("storageFailureNotice"));
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(margin, margin, margin, margin);
    layout->addWidget(m_notice);
    if (m_viewModel)
        connect(m_viewModel, &AppViewModel::changed, this, &StorageFailureNotice::refresh, Qt::QueuedConnection);
    refresh();
}

void StorageFailureNotice::refresh()
{
    const auto message = m_viewModel ? m_viewModel->storageFailureMessage() : std::nullopt;
    m_notice->setText(message.value_or(QString()));
    setVisible(message.has_value());
}

} // namespace vantorel
