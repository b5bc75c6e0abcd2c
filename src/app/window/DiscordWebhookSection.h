#pragma once

#include <QWidget>

class QLabel;
class QLineEdit;
class QPushButton;

namespace vantorel {

class AppViewModel;

// The Discord part of the settings page: the masked webhook field and its save, test and delete
// buttons. The typed URL lives only in the field and is emptied once it is saved and by every
// delete; a save that fails keeps it. Without a secret service the field and buttons are off and
// one line says why. The outcome lines and the test confirmation are the host's.
class DiscordWebhookSection : public QWidget
{
    Q_OBJECT

public:
    explicit DiscordWebhookSection(AppViewModel& model, QWidget* parent = nullptr);

private:
    void refresh();

    AppViewModel& m_model;
    QLineEdit* m_url;
    QPushButton* m_save;
    QPushButton* m_test;
    QPushButton* m_delete;
    QLabel* m_storeMissing;
};

} // namespace vantorel
