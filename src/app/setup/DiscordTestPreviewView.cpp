#include "app/setup/DiscordTestPreviewView.h"

#include "app/ui/IconProvider.h"
#include "app/ui/KitStyle.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SheetButtonRow.h"
#include "app/ui/SheetWindow.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int margin = 20;
constexpr int spacing = 16;

QLabel* wrappingLabel(const QString& text, QWidget* parent)
{
    return new LineLimitedLabel(LineLimitedLabel::unlimited, text, parent);
}

} // namespace

DiscordTestPreviewView::DiscordTestPreviewView(DiscordTestDraft draft, std::function<void()> cancel,
                                               std::function<void()> confirm, QWidget* parent)
    : QDialog(parent)
    , m_draft(std::move(draft))
    , m_cancel(std::move(cancel))
{
    setObjectName(QStringLiteral("discordTestPreview"));
    setWindowTitle(QStringLiteral("Discord送信前の確認"));
    makeSheetWindow(this, sheetWidth);
    setWindowModality(Qt::WindowModal);

    auto* body = new QWidget(this);
    auto* column = new QVBoxLayout(body);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(spacing);

    auto* titleRow = new QHBoxLayout;
    titleRow->setSpacing(6);
    titleRow->addWidget(new SymbolView(QStringLiteral("paperplane"), IconProvider::symbolSize(13), colors::label, this));
    auto* title = new QLabel(QStringLiteral("Discord送信前の確認"), this);
    title->setFont(UiFont::headline());
    titleRow->addWidget(title);
    titleRow->addStretch();
    column->addLayout(titleRow);

    column->addWidget(wrappingLabel(QStringLiteral("保存済みWebhookの宛先へ、以下の合成データを実際に送信します。"), this));

    // Selectable, so that the exact text can be copied: QLabel paints its own lines with the selection,
    // at the cost of Qt's breaks, and nothing is inserted into the text that a copy would carry.
    auto* content = new QLabel(m_draft.content, this);
    content->setTextFormat(Qt::PlainText);
    content->setWordWrap(true);
    content->setObjectName(QStringLiteral("discordTestPreview.content"));
    content->setTextInteractionFlags(Qt::TextSelectableByMouse);
    content->setMinimumWidth(sheetWidth - 2 * margin - KitStyle::scrollBarExtent);
    column->addWidget(content);

    auto* note = wrappingLabel(QStringLiteral("メンションなし。受付確認は表示・閲覧の保証ではありません。"), this);
    setTextColor(note, colors::secondary);
    column->addWidget(note);

    auto* cancelButton = new QPushButton(QStringLiteral("キャンセル"), this);
    cancelButton->setObjectName(QStringLiteral("discordTestPreview.cancel"));
    cancelButton->setAutoDefault(false);
    connect(cancelButton, &QPushButton::clicked, this, &QDialog::reject);
    auto* send = new SymbolButton(QStringLiteral("この内容を送信"), QStringLiteral("paperplane"), this);
    send->setObjectName(QStringLiteral("discordTestPreview.confirm"));
    send->setAutoDefault(false);
    connect(send, &QPushButton::clicked, this, [this, confirm = std::move(confirm)] {
        // Closing may delete the sheet and this closure with it.
        const std::function<void()> action = confirm;
        m_quiet = true;
        accept();
        if (action)
            action();
    });
    setSheetLayout(this, body, sheetButtonRow(cancelButton, send), margin, spacing);
}

void DiscordTestPreviewView::dismissQuietly()
{
    m_quiet = true;
    QDialog::reject();
}

void DiscordTestPreviewView::reject()
{
    // Escape, the close button and "キャンセル" all come here.
    const std::function<void()> cancel = m_quiet ? std::function<void()>() : m_cancel;
    m_quiet = true;
    QDialog::reject();
    if (cancel)
        cancel();
}

} // namespace vantorel
