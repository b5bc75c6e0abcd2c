#include "app/window/DiscordWebhookSection.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/viewmodel/AppViewModel.h"
#include "app/viewmodel/DiscordSettingsActions.h"
#include "app/window/SecretField.h"

#include <QHBoxLayout>
#include <QLineEdit>
#include <QPushButton>
#include <QVBoxLayout>

namespace vantorel {

namespace {

QColor destructive(const SystemColors& c)
{
    return c.systemRed;
}

} // namespace

DiscordWebhookSection::DiscordWebhookSection(AppViewModel& model, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_url(new QLineEdit(this))
    , m_save(new QPushButton(QStringLiteral("保存"), this))
    , m_test(new QPushButton(QStringLiteral("テスト送信の確認"), this))
    , m_delete(new QPushButton(QStringLiteral("削除"), this))
    , m_storeMissing(new CaptionLabel(DiscordSettingsActions::webhookStoreMissingText(), this))
{
    setObjectName(QStringLiteral("discordWebhookSection"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(7);
    column->addWidget(new SectionTitle(QStringLiteral("Discord"), this));

    m_url->setObjectName(QStringLiteral("discord.webhookURL"));
    m_url->setEchoMode(QLineEdit::Password);
    m_url->setPlaceholderText(QStringLiteral("Discord Webhook URL"));
    column->addWidget(m_url);

    m_save->setObjectName(QStringLiteral("discord.save"));
    m_test->setObjectName(QStringLiteral("discord.test"));
    m_delete->setObjectName(QStringLiteral("discord.delete"));
    setTextColor(m_delete, destructive);
    auto* row = new QHBoxLayout;
    row->addWidget(m_save);
    row->addWidget(m_test);
    row->addWidget(m_delete);
    row->addStretch();
    column->addLayout(row);
    m_storeMissing->setObjectName(QStringLiteral("discord.secretStoreMissing"));
    column->addWidget(m_storeMissing);

    connect(m_save, &QPushButton::clicked, this, [this] {
        clearSecretFieldOnceSaved(m_model.saveDiscordWebhookURL(m_url->text()), m_url, m_url->text());
    });
    connect(m_test, &QPushButton::clicked, this, [this] { m_model.sendDiscordTestNotification(); });
    connect(m_delete, &QPushButton::clicked, this, [this] {
        m_model.deleteDiscordWebhookURL();
        m_url->clear();
    });
    connect(&m_model, &AppViewModel::changed, this, &DiscordWebhookSection::refresh, Qt::QueuedConnection);
    refresh();
}

void DiscordWebhookSection::refresh()
{
    const bool storeRuns = !m_model.secretStoreUnavailable();
    m_url->setEnabled(storeRuns);
    m_save->setEnabled(storeRuns);
    m_test->setEnabled(storeRuns && m_model.discordWebhookIsSaved() && !m_model.isSendingDiscordTest());
    m_delete->setEnabled(storeRuns && m_model.discordWebhookIsSaved());
    m_storeMissing->setVisible(!storeRuns);
}

} // namespace vantorel
