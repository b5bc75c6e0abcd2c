#include "app/setup/MenuBarProviderOptions.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "app/ui/ProviderBrandIcon.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int pickerWidth = 160;

} // namespace

MenuBarProviderOptions::MenuBarProviderOptions(MonitoredProvider provider, Binding<AppSettings> settings,
                                               QWidget* parent)
    : QWidget(parent)
{
    const bool codex = provider == MonitoredProvider::codex;
    m_identity = memberBinding(settings, codex ? &AppSettings::codexMenuBarIdentityStyle
                                               : &AppSettings::claudeMenuBarIdentityStyle);
    m_fiveHour = memberBinding(settings, codex ? &AppSettings::showCodexFiveHourInMenuBar
                                               : &AppSettings::showClaudeFiveHourInMenuBar);
    m_weekly = memberBinding(settings, codex ? &AppSettings::showCodexWeeklyInMenuBar
                                             : &AppSettings::showClaudeWeeklyInMenuBar);
    const QString name = displayName(provider);
    setObjectName(QStringLiteral("menuBarOptions.") + rawValue(provider));

    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(6);

    auto* header = new QHBoxLayout;
    header->setSpacing(10);
    header->addWidget(new ProviderBrandIcon(name, 17, this));
    auto* title = new QLabel(name, this);
    title->setTextFormat(Qt::PlainText);
    title->setFont(UiFont::system(12, QFont::Medium));
    header->addWidget(title);
    header->addStretch();
    m_fiveHourSwitch = new ToggleSwitch(QStringLiteral("5h"), this);
    m_fiveHourSwitch->setObjectName(objectName() + QStringLiteral(".fiveHour"));
    m_fiveHourSwitch->setAccessibleName(name + QStringLiteral("の5時間枠を表示"));
    m_weeklySwitch = new ToggleSwitch(QStringLiteral("1W"), this);
    m_weeklySwitch->setObjectName(objectName() + QStringLiteral(".weekly"));
    m_weeklySwitch->setAccessibleName(name + QStringLiteral("の週間枠を表示"));
    header->addWidget(m_fiveHourSwitch);
    header->addWidget(m_weeklySwitch);
    column->addLayout(header);

    auto* identityRow = new QHBoxLayout;
    identityRow->addWidget(new CaptionLabel(QStringLiteral("表示形式"), this));
    identityRow->addStretch();
    m_identityPicker = new SegmentedControl({QStringLiteral("アイコン"), QStringLiteral("文字")}, this);
    m_identityPicker->setObjectName(objectName() + QStringLiteral(".identity"));
    m_identityPicker->setAccessibleName(QStringLiteral("%1のトレイ表示").arg(name));
    m_identityPicker->setFixedWidth(pickerWidth);
    identityRow->addWidget(m_identityPicker);
    column->addLayout(identityRow);

    connect(m_fiveHourSwitch, &QAbstractButton::clicked, this, [this](bool on) { m_fiveHour.set(on); });
    connect(m_weeklySwitch, &QAbstractButton::clicked, this, [this](bool on) { m_weekly.set(on); });
    connect(m_identityPicker, &SegmentedControl::activated, this, [this](int index) {
        m_identity.set(index == 1 ? MenuBarProviderIdentityStyle::text : MenuBarProviderIdentityStyle::icon);
    });
    refresh();
}

void MenuBarProviderOptions::refresh()
{
    const QSignalBlocker fiveHour(m_fiveHourSwitch);
    const QSignalBlocker weekly(m_weeklySwitch);
    const QSignalBlocker identity(m_identityPicker);
    m_fiveHourSwitch->setChecked(m_fiveHour.get());
    m_weeklySwitch->setChecked(m_weekly.get());
    m_identityPicker->setCurrentIndex(m_identity.get() == MenuBarProviderIdentityStyle::text ? 1 : 0);
}

} // namespace vantorel
