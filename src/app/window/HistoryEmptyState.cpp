#include "app/window/HistoryEmptyState.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SymbolView.h"
#include "app/ui/UiFont.h"

#include <QVBoxLayout>

namespace vantorel {

HistoryEmptyState::HistoryEmptyState(const QString& systemName, const QString& title, const QString& message,
                                     QWidget* parent)
    : QWidget(parent)
{
    setObjectName(QStringLiteral("historyEmptyState"));
    setMinimumHeight(minimumHeight);
    auto* symbol = new SymbolView(systemName, 27, colors::tertiary, this);
    auto* titleLabel = new QLabel(title, this);
    titleLabel->setObjectName(QStringLiteral("historyEmptyState.title"));
    titleLabel->setTextFormat(Qt::PlainText);
    titleLabel->setFont(UiFont::system(13, QFont::DemiBold));
    titleLabel->setAlignment(Qt::AlignHCenter);
    auto* messageLabel = new CaptionLabel(message, this);
    messageLabel->setAlignment(Qt::AlignHCenter);
    auto* layout = new QVBoxLayout(this);
    layout->setContentsMargins(0, 0, 0, 0);
    layout->setSpacing(8);
    layout->addStretch(1);
    layout->addWidget(symbol, 0, Qt::AlignHCenter);
    layout->addWidget(titleLabel);
    layout->addWidget(messageLabel);
    layout->addStretch(1);
}

} // namespace vantorel
