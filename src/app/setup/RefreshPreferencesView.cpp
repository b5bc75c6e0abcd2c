#include "app/setup/RefreshPreferencesView.h"

#include "app/ui/CaptionLabel.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"

#include <QFrame>
#include <QLabel>
#include <QSignalBlocker>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr std::int64_t standardIntervals[] = {60, 300, 900, 1800};

QString minutesTitle(std::int64_t minutes)
{
    return QString::number(minutes) + QStringLiteral("分");
}

} // namespace

QList<RefreshPreferencesView::Segment> RefreshPreferencesView::intervalSegments(std::int64_t seconds)
{
    QList<Segment> segments;
    bool standard = false;
    for (const std::int64_t interval : standardIntervals) {
        segments.append({minutesTitle(interval / 60), interval});
        standard = standard || interval == seconds;
    }
    if (!standard)
        segments.append({minutesTitle(seconds > 59 ? seconds / 60 : 1), seconds});
    return segments;
}

RefreshPreferencesView::RefreshPreferencesView(Binding<AppSettings> settings, QWidget* parent)
    : QWidget(parent)
    , m_settings(std::move(settings))
{
    setObjectName(QStringLiteral("refreshPreferences"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(12);
    column->addWidget(new SectionTitle(QStringLiteral("取得間隔"), this));

    m_mode = new SegmentedControl({QStringLiteral("まとめて"), QStringLiteral("個別")}, this);
    m_mode->setObjectName(QStringLiteral("refreshPreferences.mode"));
    m_mode->setAccessibleName(QStringLiteral("取得間隔の設定方法"));
    connect(m_mode, &SegmentedControl::activated, this, [this](int index) {
        memberBinding(m_settings, &AppSettings::usesSeparateRefreshIntervals).set(index == 1);
        refresh();
    });
    column->addWidget(m_mode);

    m_common = makePicker(QStringLiteral("共通"), QStringLiteral("common"), &AppSettings::refreshIntervalSeconds);
    m_codex = makePicker(QStringLiteral("Codex"), QStringLiteral("codex"), &AppSettings::codexRefreshIntervalSeconds);
    m_claude = makePicker(QStringLiteral("Claude"), QStringLiteral("claude"), &AppSettings::claudeRefreshIntervalSeconds);
    for (const Picker* picker : {&m_common, &m_codex, &m_claude})
        column->addWidget(picker->box);

    auto* divider = new QFrame(this);
    divider->setFrameShape(QFrame::HLine);
    divider->setFrameShadow(QFrame::Sunken);
    column->addWidget(divider);

    m_background = new ToggleSwitch(QStringLiteral("画面消灯・ロック中も取得を継続"), this);
    m_background->setObjectName(QStringLiteral("backgroundMonitoringEnabled"));
    connect(m_background, &QAbstractButton::clicked, this, [this](bool on) {
        memberBinding(m_settings, &AppSettings::backgroundMonitoringEnabled).set(on);
    });
    column->addWidget(m_background);
    column->addWidget(new CaptionLabel(
        QStringLiteral("電源接続中は自動スリープを抑止します。画面の消灯・ロックは維持されます。消費電力が増えます。"), this));
    column->addWidget(new CaptionLabel(QStringLiteral("手動スリープ・蓋を閉じた状態・このPCの終了中は更新できません。"), this));
    refresh();
}

RefreshPreferencesView::Picker RefreshPreferencesView::makePicker(const QString& title, const QString& name,
                                                                  std::int64_t AppSettings::*field)
{
    Picker picker;
    picker.field = field;
    picker.title = title;
    picker.box = new QWidget(this);
    picker.box->setObjectName(QStringLiteral("refreshPreferences.") + name);
    auto* column = new QVBoxLayout(picker.box);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(5);
    auto* label = new QLabel(title, picker.box);
    label->setTextFormat(Qt::PlainText);
    label->setFont(UiFont::system(13, QFont::Medium));
    column->addWidget(label);
    // updatePicker makes the control, as its segments depend on the stored value.
    return picker;
}

void RefreshPreferencesView::updatePicker(Picker& picker, const AppSettings& settings)
{
    const std::int64_t seconds = settings.*picker.field;
    const QList<Segment> segments = intervalSegments(seconds);
    if (!picker.control || segments != picker.segments) {
        delete picker.control;
        QStringList titles;
        for (const Segment& segment : segments)
            titles.append(segment.title);
        picker.control = new SegmentedControl(titles, picker.box);
        picker.control->setObjectName(picker.box->objectName() + QStringLiteral(".picker"));
        picker.control->setAccessibleName(picker.title + QStringLiteral("の取得間隔"));
        picker.box->layout()->addWidget(picker.control);
        picker.segments = segments;
        connect(picker.control, &SegmentedControl::activated, this, [this, &picker](int index) {
            if (index < 0 || index >= picker.segments.size())
                return;
            memberBinding(m_settings, picker.field).set(picker.segments.at(index).seconds);
            // The extra segment goes as soon as a standard one is chosen; rebuilding the control
            // from inside its own signal would delete the sender, so do it on the next turn.
            QMetaObject::invokeMethod(this, &RefreshPreferencesView::refresh, Qt::QueuedConnection);
        });
    }
    const QSignalBlocker blocker(picker.control);
    for (int index = 0; index < segments.size(); ++index) {
        if (segments.at(index).seconds == seconds)
            picker.control->setCurrentIndex(index);
    }
}

void RefreshPreferencesView::refresh()
{
    const AppSettings settings = m_settings.get();
    {
        const QSignalBlocker blocker(m_mode);
        m_mode->setCurrentIndex(settings.usesSeparateRefreshIntervals ? 1 : 0);
    }
    m_common.box->setVisible(!settings.usesSeparateRefreshIntervals);
    m_codex.box->setVisible(settings.usesSeparateRefreshIntervals);
    m_claude.box->setVisible(settings.usesSeparateRefreshIntervals);
    for (Picker* picker : {&m_common, &m_codex, &m_claude})
        updatePicker(*picker, settings);
    const QSignalBlocker blocker(m_background);
    m_background->setChecked(settings.backgroundMonitoringEnabled);
}

} // namespace vantorel
