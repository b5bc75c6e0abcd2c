#include "app/ui/ConfirmationSheet.h"

#include "app/ui/KitStyle.h"
#include "app/ui/LineBreaks.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SheetButtonRow.h"
#include "app/ui/SheetWindow.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int sheetMargin = 20;
constexpr int textSpacing = 8;

QLabel* wrappedLabel(const QString& text, const QFont& font, QWidget* parent)
{
    auto* label = new LineLimitedLabel(LineLimitedLabel::unlimited, text, parent);
    label->setFont(font);
    return label;
}

} // namespace

ConfirmationSheet::ConfirmationSheet(const QString& question, const QString& message, const QString& actionTitle,
                                     QWidget* parent)
    : QDialog(parent)
    , m_question(wrappedLabel(question, UiFont::headline(), this))
    , m_destructive(new QPushButton(actionTitle, this))
    , m_cancel(new QPushButton(QStringLiteral("キャンセル"), this))
{
    setWindowTitle(question);
    makeSheetWindow(this, sheetWidth);
    m_question->setObjectName(QStringLiteral("confirmation.question"));
    // Broken at punctuation for the sheet's fixed width, so no line ends inside a word.
    QLabel* messageLabel = wrappedLabel(QString(), UiFont::callout(), this);
    messageLabel->setText(breakAtPunctuation(message, messageLabel->fontMetrics(), sheetWidth - 2 * sheetMargin));
    messageLabel->setObjectName(QStringLiteral("confirmation.message"));
    messageLabel->setVisible(!message.isEmpty());
    setTextColor(messageLabel, colors::secondary);
    m_destructive->setObjectName(QStringLiteral("confirmation.destructive"));
    m_destructive->setProperty(KitStyle::destructiveProperty, true);
    QPalette title = m_destructive->palette();
    for (const auto group : {QPalette::Active, QPalette::Inactive})
        title.setColor(group, QPalette::ButtonText, Qt::white);
    m_destructive->setPalette(title);
    m_cancel->setObjectName(QStringLiteral("confirmation.cancel"));
    // Return deletes only from the focused action (the kit's buttons take Return while focused);
    // with the focus anywhere else it cancels.
    m_destructive->setAutoDefault(false);
    m_cancel->setDefault(true);
    m_cancel->setFocus();

    auto* body = new QWidget(this);
    auto* texts = new QVBoxLayout(body);
    texts->setContentsMargins(0, 0, 0, 0);
    texts->setSpacing(textSpacing);
    texts->addWidget(m_question);
    texts->addWidget(messageLabel);
    setSheetLayout(this, body, sheetButtonRow(m_cancel, m_destructive), sheetMargin, 2 * textSpacing);

    connect(m_cancel, &QPushButton::clicked, this, &QDialog::reject);
    connect(m_destructive, &QPushButton::clicked, this, [this] {
        emit confirmed();
        accept();
    });
}

QString ConfirmationSheet::text() const
{
    return m_question->text();
}

} // namespace vantorel
