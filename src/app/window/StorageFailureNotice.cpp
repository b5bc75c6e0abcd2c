#include "app/window/StorageFailureNotice.h"

#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolView.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/DashboardLabel.h"
#include "app/window/TintedPanel.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QVBoxLayout>

namespace vantorel {

namespace {
constexpr int noticeMargin = 8;
constexpr int noticePadding = 8;
} // namespace

StorageFailureNotice::StorageFailureNotice(AppViewModel* viewModel, QWidget* parent)
    : QWidget(parent)
    , m_viewModel(viewModel)
{
    setObjectName(QStringLiteral("storageFailureNotice"));
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(noticeMargin, noticeMargin, noticeMargin, 0);
    auto* panel = new TintedPanel(DashboardTint::orange, 0.14, 8, this);
    outer->addWidget(panel);
    auto* row = new QHBoxLayout(panel);
    row->setContentsMargins(noticePadding, noticePadding, noticePadding, noticePadding);
    row->setSpacing(6);
    auto* symbol = new SymbolView(QStringLiteral("exclamationmark.triangle.fill"), 14, colors::label, panel);
    setDashboardTint(symbol, DashboardTint::orange);
    row->addWidget(symbol, 0, Qt::AlignTop);
    // The label colour on the tint reads as a warning in both schemes; the text names a folder
    // from outside, so it is plain.
    m_text = dashboardLines(QStringLiteral("storageFailureNotice.text"), LineLimitedLabel::unlimited, UiFont::callout(),
                            std::nullopt, panel);
    row->addWidget(m_text, 1);
    if (m_viewModel)
        connect(m_viewModel, &AppViewModel::changed, this, &StorageFailureNotice::refresh, Qt::QueuedConnection);
    refresh();
}

void StorageFailureNotice::refresh()
{
    const auto message = m_viewModel ? m_viewModel->storageFailureMessage() : std::nullopt;
    m_text->setText(message.value_or(QString()));
    setVisible(message.has_value());
}

} // namespace vantorel
