#include "app/window/AdvancedSettingsSection.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/HorizontalDivider.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SystemColors.h"
#include "app/ui/ToggleSwitch.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/DiscordSettingsActions.h"
#include "app/window/MonospaceEditor.h"
#include "app/window/SecretField.h"
#include "core/sources/ServiceNameDraft.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int editorMinimumHeight = 82;

QLineEdit* lineEdit(QWidget* parent, const QString& name, const QString& placeholder)
{
    auto* field = new QLineEdit(parent);
    field->setObjectName(name);
    field->setPlaceholderText(placeholder);
    return field;
}

// A refresh must not move the cursor or echo the value back, so only a differing text is set.
void showText(QLineEdit* field, const QString& text)
{
    if (field->text() != text)
        field->setText(text);
}

} // namespace

AdvancedSettingsSection::AdvancedSettingsSection(AppViewModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_path(lineEdit(this, QStringLiteral("advanced.codexPath"), QStringLiteral("codex 実行ファイルパス")))
    , m_rate(new ToggleSwitch(QStringLiteral("OpenAI API レート取得"), this))
    , m_apiModel(lineEdit(this, QStringLiteral("advanced.apiModel"), QStringLiteral("APIモデル")))
    , m_apiKey(lineEdit(this, QStringLiteral("advanced.apiKey"), QStringLiteral("OpenAI API Key")))
    , m_saveKey(new QPushButton(QStringLiteral("API Key保存"), this))
    , m_deleteKey(new QPushButton(QStringLiteral("削除"), this))
    , m_keyStoreMissing(new CaptionLabel(DiscordSettingsActions::apiKeyStoreMissingText(), this))
    , m_apiKeyMessage(new CaptionLabel(QString(), this))
    , m_codexNames(new MonospaceEditor(editorMinimumHeight, this))
    , m_claudeNames(new MonospaceEditor(editorMinimumHeight, this))
{
    setObjectName(QStringLiteral("advancedSettings"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 8, 0, 0);
    column->setSpacing(9);

    m_rate->setObjectName(QStringLiteral("advanced.apiRate"));
    m_apiKey->setEchoMode(QLineEdit::Password);
    m_saveKey->setObjectName(QStringLiteral("advanced.saveAPIKey"));
    m_deleteKey->setObjectName(QStringLiteral("advanced.deleteAPIKey"));
    setTextColor(m_deleteKey, [](const SystemColors& c) { return c.systemRed; });
    auto* keyRow = new QHBoxLayout;
    keyRow->addWidget(m_saveKey);
    keyRow->addWidget(m_deleteKey);
    keyRow->addStretch();
    m_apiKeyMessage->setObjectName(QStringLiteral("advanced.apiKeyMessage"));
    m_keyStoreMissing->setObjectName(QStringLiteral("advanced.secretStoreMissing"));

    m_codexNames->setObjectName(QStringLiteral("advanced.codexComponentNames"));
    m_claudeNames->setObjectName(QStringLiteral("advanced.claudeComponentNames"));
    auto* saveNames = new QPushButton(QStringLiteral("対象サービス名を保存"), this);
    saveNames->setObjectName(QStringLiteral("advanced.saveComponentNames"));
    auto* openLog = new SymbolButton(QStringLiteral("診断ログを開く"), QStringLiteral("doc.text.magnifyingglass"), this);
    openLog->setObjectName(QStringLiteral("advanced.openLog"));

    column->addWidget(m_path);
    column->addWidget(m_rate);
    column->addWidget(m_apiModel);
    column->addWidget(m_apiKey);
    column->addLayout(keyRow);
    column->addWidget(m_keyStoreMissing);
    column->addWidget(m_apiKeyMessage);
    column->addWidget(new CaptionLabel(QStringLiteral("Codex 対象サービス名"), this));
    column->addWidget(m_codexNames);
    column->addWidget(new CaptionLabel(QStringLiteral("Claude 対象サービス名"), this));
    column->addWidget(m_claudeNames);
    column->addWidget(saveNames, 0, Qt::AlignLeft);
    column->addWidget(new HorizontalDivider(this));
    column->addWidget(openLog, 0, Qt::AlignLeft);

    bindTypedField(m_path, &AppSettings::codexCLIExecutablePath);
    bindTypedField(m_apiModel, &AppSettings::apiRateModel);
    connect(m_rate, &ToggleSwitch::clicked, this, [this](bool on) {
        AppSettings settings = m_model.settings();
        settings.apiRateAutoRefreshEnabled = on;
        m_model.setSettings(settings);
    });
    connect(m_saveKey, &QPushButton::clicked, this, [this] {
        clearSecretFieldOnceSaved(m_model.saveAPIKey(m_apiKey->text()), m_apiKey, m_apiKey->text());
    });
    connect(m_deleteKey, &QPushButton::clicked, this, [this] {
        m_model.deleteAPIKey();
        m_apiKey->clear();
    });
    connect(saveNames, &QPushButton::clicked, this, &AdvancedSettingsSection::saveServiceNames);
    connect(openLog, &QPushButton::clicked, this, [this] { m_model.openDiagnosticsLog(); });
    connect(&m_model, &AppViewModel::changed, this, &AdvancedSettingsSection::refresh, Qt::QueuedConnection);

    loadServiceNameDrafts();
    refresh();
}

void AdvancedSettingsSection::bindTypedField(QLineEdit* field, QString AppSettings::*member)
{
    // The user's edits only, a whole record each time; on disk once typing pauses or the field is
    // left (Return, focus elsewhere), not at every key.
    connect(field, &QLineEdit::textEdited, this, [this, member](const QString& text) {
        AppSettings settings = m_model.settings();
        settings.*member = text;
        m_model.setTypedSettings(settings);
    });
    // Also sent while this section is being destroyed with the focus in the field: it reaches the
    // model alone, which outlives the windows.
    connect(field, &QLineEdit::editingFinished, field, [model = &m_model] { model->saveChangesNow(); });
}

void AdvancedSettingsSection::loadServiceNameDrafts()
{
    m_codexNames->setPlainText(m_model.settings().componentNames.join(u'\n'));
    m_claudeNames->setPlainText(m_model.settings().claudeComponentNames.join(u'\n'));
}

void AdvancedSettingsSection::showEvent(QShowEvent* event)
{
    QWidget::showEvent(event);
    if (m_codexNames->toPlainText().isEmpty() && m_claudeNames->toPlainText().isEmpty())
        loadServiceNameDrafts();
}

void AdvancedSettingsSection::refresh()
{
    const AppSettings& settings = m_model.settings();
    showText(m_path, settings.codexCLIExecutablePath);
    showText(m_apiModel, settings.apiRateModel);
    m_rate->setChecked(settings.apiRateAutoRefreshEnabled);
    m_rate->setEnabled(m_model.apiKeyIsSaved() && settings.codexEnabled);
    const bool storeRuns = !m_model.secretStoreUnavailable();
    m_apiKey->setEnabled(storeRuns);
    m_saveKey->setEnabled(storeRuns);
    m_deleteKey->setEnabled(storeRuns && m_model.apiKeyIsSaved());
    m_keyStoreMissing->setVisible(!storeRuns);
    m_apiKeyMessage->setText(m_model.apiKeyMessage().value_or(QString()));
    m_apiKeyMessage->setVisible(m_model.apiKeyMessage().has_value());
}

void AdvancedSettingsSection::saveServiceNames()
{
    // Two writes, Codex first, so each list gets its own change handling.
    AppSettings settings = m_model.settings();
    settings.componentNames = ServiceNameDraft::names(m_codexNames->toPlainText());
    m_model.setSettings(settings);
    settings = m_model.settings();
    settings.claudeComponentNames = ServiceNameDraft::names(m_claudeNames->toPlainText());
    m_model.setSettings(settings);
}

} // namespace vantorel
