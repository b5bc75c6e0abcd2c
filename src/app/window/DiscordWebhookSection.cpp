#include "app/window/DiscordWebhookSection.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SystemColors.h"
#include "app/ui/TextColor.h"
#include "app/viewmodel/AppViewModel.h"

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
    , m_test(new QPushButton(QStringLiteral("テスト送信の確認"), this))
    , m_delete(new QPushButton(QStringLiteral("削除"), this))
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

    auto* save = new QPushButton(QStringLiteral("保存"), this);
    save->setObjectName(QStringLiteral("discord.save"));
    m_test->setObjectName(QStringLiteral("discord.test"));
    m_delete->setObjectName(QStringLiteral("discord.delete"));
    setTextColor(m_delete, destructive);
    auto* row = new QHBoxLayout;
    row->addWidget(save);
    row->addWidget(m_test);
    row->addWidget(m_delete);
    row->addStretch();
    column->addLayout(row);

    connect(save, &QPushButton::clicked, this, [this] {
        m_model.saveDiscordWebhookURL(m_url->text());
        m_url->clear();
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
    m_test->setEnabled(m_model.discordWebhookIsSaved() && !m_model.isSendingDiscordTest());
    m_delete->setEnabled(m_model.discordWebhookIsSaved());
}

} // namespace vantorel
