#pragma once

#include <QWidget>

#include <functional>

class QLabel;
class QLineEdit;
class QPlainTextEdit;
class QPushButton;

namespace vantorel {

class AppViewModel;
class ToggleSwitch;
struct AppSettings;

// The content of the settings page's "詳細" group: the Codex CLI path, the API rate probe with
// its model and key, the status component names of both services and the diagnostics log. What
// is typed into the path and model fields is written once typing pauses or the field is left. The
// two name editors keep their drafts until "対象サービス名を保存"; the key lives only in its
// masked field and is emptied by every save and delete.
class AdvancedSettingsSection : public QWidget
{
    Q_OBJECT

public:
    explicit AdvancedSettingsSection(AppViewModel& model, QWidget* parent = nullptr);

    // Fills both name editors from the stored lists, one name per line.
    void loadServiceNameDrafts();

protected:
    // Opening the group reloads the drafts, but only while both are empty.
    void showEvent(QShowEvent* event) override;

private:
    // Writes the field's text to `member` of the settings record as the user types it.
    void bindTypedField(QLineEdit* field, QString AppSettings::*member);
    void refresh();
    void saveServiceNames();

    AppViewModel& m_model;
    QLineEdit* m_path;
    ToggleSwitch* m_rate;
    QLineEdit* m_apiModel;
    QLineEdit* m_apiKey;
    QPushButton* m_saveKey;
    QPushButton* m_deleteKey;
    QLabel* m_keyStoreMissing;
    QLabel* m_apiKeyMessage;
    QPlainTextEdit* m_codexNames;
    QPlainTextEdit* m_claudeNames;
};

} // namespace vantorel
