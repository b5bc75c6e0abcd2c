#include "app/window/ManualInputPanel.h"

#include "app/platform/Pasteboard.h"
#include "app/ui/CaptionLabel.h"
#include "app/ui/HorizontalDivider.h"
#include "app/ui/PageScrollArea.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/window/MonospaceEditor.h"
#include "app/window/PanelHeader.h"
#include "core/sources/UsageParser.h"

#include <QDateTimeEdit>
#include <QHBoxLayout>
#include <QLabel>
#include <QLineEdit>
#include <QScrollArea>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int pastedEditorMinimumHeight = 105;

QLineEdit* manualField(QWidget* parent, const QString& name, const QString& placeholder)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    return field;
}

SymbolButton* button(QWidget* parent, const QString& name, const QString& title, const QString& symbol)
{
    auto* result = new SymbolButton(title, symbol, parent);
    result->setObjectName(name);
    return result;
}

} // namespace

ManualInputPanel::ManualInputPanel(AppViewModel& model, Binding<PopoverPage> page, Pasteboard* pasteboard,
                                   QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_pasteboard(pasteboard)
{
    setObjectName(QStringLiteral("manualInputPanel"));
    auto* content = new QWidget;
    auto* outer = new QVBoxLayout(this);
    outer->setContentsMargins(0, 0, 0, 0);
    outer->addWidget(makePageScrollArea(content, QStringLiteral("manual.scroll"), this));

    auto* column = new QVBoxLayout(content);
    column->setContentsMargins(16, 16, 16, 16);
    column->setSpacing(11);
    column->addWidget(new PanelHeader(QStringLiteral("手動入力"), std::move(page), content));

    auto* targetRow = new QHBoxLayout;
    targetRow->addWidget(new QLabel(QStringLiteral("対象"), content));
    m_targetPicker = new SegmentedControl({displayName(UsageInputTarget::codex), displayName(UsageInputTarget::claude)},
                                          content);
    m_targetPicker->setObjectName(QStringLiteral("manual.target"));
    m_targetPicker->setCurrentIndex(0);
    targetRow->addWidget(m_targetPicker, 1);
    column->addLayout(targetRow);

    m_pasted = new MonospaceEditor(pastedEditorMinimumHeight, content);
    m_pasted->setObjectName(QStringLiteral("manual.pastedText"));
    column->addWidget(m_pasted);

    auto* clipboardRow = new QHBoxLayout;
    clipboardRow->setSpacing(8);
    auto* read = button(content, QStringLiteral("manual.readClipboard"), QStringLiteral("クリップボードから読込"),
                        QStringLiteral("doc.on.clipboard"));
    m_clear = button(content, QStringLiteral("manual.clear"), QStringLiteral("クリア"), QStringLiteral("xmark.circle"));
    clipboardRow->addWidget(read);
    clipboardRow->addWidget(m_clear);
    clipboardRow->addStretch();
    column->addLayout(clipboardRow);
    auto* parse = button(content, QStringLiteral("manual.parse"), QStringLiteral("貼り付けから更新"),
                         QStringLiteral("square.and.arrow.down"));
    column->addWidget(parse, 0, Qt::AlignLeft);
    column->addWidget(new HorizontalDivider(content));

    m_fiveHour = manualField(content, QStringLiteral("manual.fiveHour"), QStringLiteral("5時間枠の残り% 例: 72"));
    m_weekly = manualField(content, QStringLiteral("manual.weekly"), QStringLiteral("週間枠の残り% 例: 51"));
    m_credits = manualField(content, QStringLiteral("manual.credits"), QStringLiteral("クレジット残高 例: $12.40"));
    column->addWidget(m_fiveHour);
    column->addWidget(m_weekly);
    column->addWidget(m_credits);

    m_resetEnabled = new ToggleSwitch(QStringLiteral("リセット時刻を入力"), content);
    m_resetEnabled->setObjectName(QStringLiteral("manual.resetEnabled"));
    column->addWidget(m_resetEnabled);
    m_resetRow = new QWidget(content);
    auto* resetLayout = new QHBoxLayout(m_resetRow);
    resetLayout->setContentsMargins(0, 0, 0, 0);
    resetLayout->addWidget(new QLabel(QStringLiteral("次回リセット"), m_resetRow));
    m_resetDate = new QDateTimeEdit(m_model.now().toQDateTime().toLocalTime(), m_resetRow);
    m_resetDate->setObjectName(QStringLiteral("manual.resetDate"));
    m_resetDate->setCalendarPopup(true);
    m_resetDate->setTimeSpec(Qt::LocalTime);
    m_resetDate->setDisplayFormat(QStringLiteral("yyyy/MM/dd H:mm"));
    resetLayout->addWidget(m_resetDate, 1);
    m_resetRow->setVisible(false);
    column->addWidget(m_resetRow);

    auto* save = button(content, QStringLiteral("manual.save"), QStringLiteral("保存"), QStringLiteral("checkmark.circle"));
    column->addWidget(save, 0, Qt::AlignLeft);
    m_message = new CaptionLabel(QString(), content);
    m_message->setObjectName(QStringLiteral("manual.message"));
    m_message->setVisible(false);
    column->addWidget(m_message);
    column->addStretch();

    m_clear->setEnabled(false);
    connect(m_targetPicker, &SegmentedControl::currentIndexChanged, this,
            [this](int index) { m_target = index == 0 ? UsageInputTarget::codex : UsageInputTarget::claude; });
    connect(m_pasted, &QPlainTextEdit::textChanged, this,
            [this] { m_clear->setEnabled(!m_pasted->document()->isEmpty()); });
    connect(read, &QPushButton::clicked, this, &ManualInputPanel::readClipboard);
    connect(m_clear, &QPushButton::clicked, this, [this] {
        m_pasted->clear();
        setMessage(QString());
    });
    connect(parse, &QPushButton::clicked, this, &ManualInputPanel::parsePastedText);
    connect(m_resetEnabled, &ToggleSwitch::toggled, m_resetRow, &QWidget::setVisible);
    connect(save, &QPushButton::clicked, this, &ManualInputPanel::saveManualReading);
    // Return in a field of the form saves it, as its button does.
    for (QLineEdit* field : {m_fiveHour, m_weekly, m_credits})
        connect(field, &QLineEdit::returnPressed, this, &ManualInputPanel::saveManualReading);
}

void ManualInputPanel::readClipboard()
{
    const QString text = m_pasteboard ? m_pasteboard->string() : QString();
    if (text.trimmed().isEmpty()) {
        setMessage(QStringLiteral("クリップボードにテキストがありません。"));
        return;
    }
    // The parser reads no further anyway, and a multi-megabyte text would stall the editor.
    if (text.size() > UsageParser::maximumTextLength) {
        setMessage(QStringLiteral("クリップボードのテキストが長すぎます。"));
        return;
    }
    m_pasted->setPlainText(text);
    setMessage(QStringLiteral("クリップボードの内容を読み込みました。「貼り付けから更新」を押してください。"));
}

void ManualInputPanel::parsePastedText()
{
    const QString text = m_pasted->toPlainText();
    const std::optional<UsageSnapshot> snapshot = m_target == UsageInputTarget::codex
                                                      ? UsageParser::parseCodex(text, m_model.now())
                                                      : UsageParser::parse(text, m_model.now());
    if (!snapshot) {
        setMessage(QStringLiteral("抽出できませんでした。下で手入力してください。"));
        return;
    }
    save(*snapshot);
    setMessage(displayName(m_target) + QStringLiteral(" の貼り付け内容を保存しました。"));
}

void ManualInputPanel::saveManualReading()
{
    std::optional<Date> resetAt;
    if (m_resetEnabled->isChecked())
        resetAt = Date::fromQDateTime(m_resetDate->dateTime());
    const std::optional<UsageSnapshot> snapshot = UsageParser::validatedManualSnapshot(
        m_fiveHour->text(), m_weekly->text(), m_credits->text(), resetAt, m_model.now());
    if (!snapshot) {
        setMessage(QStringLiteral("保存できません。残り率は0〜100で入力してください。現在の値は変更していません。"));
        return;
    }
    save(*snapshot);
    setMessage(displayName(m_target) + QStringLiteral(" の手入力を保存しました。"));
}

void ManualInputPanel::save(const UsageSnapshot& snapshot)
{
    if (m_target == UsageInputTarget::codex)
        m_model.saveUsageSnapshot(snapshot);
    else
        m_model.saveClaudeUsageSnapshot(snapshot);
    m_model.saveChangesNow();
}

void ManualInputPanel::setMessage(const QString& text)
{
    m_message->setText(text);
    m_message->setVisible(!text.isEmpty());
}

} // namespace vantorel
