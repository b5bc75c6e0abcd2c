#include "app/ui/CompactButton.h"
#include "app/ui/DisclosureGroup.h"
#include "app/ui/FocusRing.h"
#include "app/ui/IconButton.h"
#include "app/ui/LineBreaks.h"
#include "app/ui/PillButton.h"
#include "app/ui/SegmentedControl.h"
#include "app/ui/SystemColors.h"
#include "app/ui/ToggleSwitch.h"
#include "app/ui/UiFont.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QFontMetrics>
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QTest>
#include <QVBoxLayout>

namespace vantorel {
namespace {

// Pixels that differ plainly between two pictures of the same size.
int changedPixels(const QImage& a, const QImage& b)
{
    int count = 0;
    for (int y = 0; y < std::min(a.height(), b.height()); ++y) {
        for (int x = 0; x < std::min(a.width(), b.width()); ++x) {
            const QColor p = a.pixelColor(x, y);
            const QColor q = b.pixelColor(x, y);
            count += std::abs(p.red() - q.red()) + std::abs(p.green() - q.green()) + std::abs(p.blue() - q.blue()) > 60;
        }
    }
    return count;
}

double relativeLuminance(const QColor& color)
{
    const auto channel = [](double c) { return c <= 0.04045 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4); };
    return 0.2126 * channel(color.redF()) + 0.7152 * channel(color.greenF()) + 0.0722 * channel(color.blueF());
}

double contrastRatio(const QColor& a, const QColor& b)
{
    const double la = relativeLuminance(a);
    const double lb = relativeLuminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

class KeyboardFocusTest : public ViewTest
{
};

TEST_F(KeyboardFocusTest, KitControlsRingTheirKeyboardFocusInBothSchemesButNotAClickedOne)
{
    for (const bool dark : {false, true}) {
        setDark(dark);
        QWidget window;
        auto* column = new QVBoxLayout(&window);
        // Takes the focus when the window opens, so that each control below gets it by Tab.
        auto* field = new QLineEdit;
        column->addWidget(field);
        auto* compact = new CompactButton(QStringLiteral("更新"), QStringLiteral("arrow.clockwise"));
        auto* icon = new IconButton(QStringLiteral("gearshape"), QStringLiteral("設定"));
        auto* pill = new PillButton(QStringLiteral("終了"), [](const SystemColors& c) { return c.systemRed; });
        auto* toggle = new ToggleSwitch(QStringLiteral("バックグラウンド監視"));
        toggle->setChecked(true);
        auto* segments = new SegmentedControl({QStringLiteral("アイコン"), QStringLiteral("文字")});
        auto* group = new DisclosureGroup(QStringLiteral("詳細"));
        group->setContent(new QLabel(QStringLiteral("中身")));
        auto* push = new QPushButton(QStringLiteral("保存"));
        auto* segment = segments->findChild<QWidget*>(QStringLiteral("segment.0"));
        const QList<QWidget*> controls{compact, icon, pill, toggle, segment, group->header(), push};
        for (QWidget* widget : {static_cast<QWidget*>(compact), static_cast<QWidget*>(icon), static_cast<QWidget*>(pill),
                                static_cast<QWidget*>(toggle), static_cast<QWidget*>(segments),
                                static_cast<QWidget*>(group), static_cast<QWidget*>(push)})
            column->addWidget(widget);
        show(&window);
        window.activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(field->hasFocus());

        for (QWidget* control : controls) {
            const QString name = QString::fromLatin1(control->metaObject()->className()) + u' ' + control->objectName()
                                 + (dark ? QStringLiteral(" dark") : QStringLiteral(" light"));
            const QImage plain = control->grab().toImage();
            for (int presses = 0; presses < 20 && QApplication::focusWidget() != control; ++presses)
                QTest::keyClick(QApplication::focusWidget() ? QApplication::focusWidget() : &window, Qt::Key_Tab);
            ASSERT_EQ(QApplication::focusWidget(), control) << name.toStdString();
            const QImage ringed = control->grab().toImage();
            // A ring, not a nuance: at least the height of the control in plainly changed pixels.
            EXPECT_GE(changedPixels(ringed, plain), 2 * control->height()) << name.toStdString();
        }
        // Arrows move within a segmented control, and the ring goes along.
        QTest::keyClick(push, Qt::Key_Backtab);
        QTest::keyClick(group->header(), Qt::Key_Backtab);
        ASSERT_TRUE(segment->hasFocus());
        QTest::keyClick(segment, Qt::Key_Right);
        auto* second = segments->findChild<QWidget*>(QStringLiteral("segment.1"));
        ASSERT_TRUE(second->hasFocus());
        EXPECT_TRUE(FocusRing::isShown(second));
        saveGrab(&window, dark ? QStringLiteral("focus-ring-dark") : QStringLiteral("focus-ring-light"));

        // The pointer moves the focus without a ring, though the keyboard moved it before.
        const QImage plainIcon = icon->grab().toImage();
        QTest::mouseClick(icon, Qt::LeftButton);
        ASSERT_TRUE(icon->hasFocus());
        EXPECT_EQ(icon->grab().toImage(), plainIcon) << (dark ? "dark" : "light");
        QTest::keyClick(icon, Qt::Key_Tab);
        EXPECT_TRUE(pill->hasFocus());
        QTest::keyClick(pill, Qt::Key_Backtab);
        EXPECT_NE(icon->grab().toImage(), plainIcon) << "the keyboard brings the ring back";
    }
}

// Only a key of the user's puts a keyboard focus: Tab, an arrow or a shortcut rings the control
// it reaches, and the ring stays on it through another window; a focus that the program passes
// on (as Qt does with Tab's reason when a control disables itself) or gives while the window is
// away rings nothing, however many keys came before.
TEST_F(KeyboardFocusTest, OnlyTheUsersKeysPutTheRingAndItComesBackOnlyToItsOwnControl)
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    auto* first = new CompactButton(QStringLiteral("更新"), QStringLiteral("arrow.clockwise"));
    auto* second = new CompactButton(QStringLiteral("コピー"), QStringLiteral("doc.on.doc"));
    auto* third = new IconButton(QStringLiteral("gearshape"), QStringLiteral("設定"));
    for (QWidget* widget : {static_cast<QWidget*>(field), static_cast<QWidget*>(first), static_cast<QWidget*>(second),
                            static_cast<QWidget*>(third)})
        column->addWidget(widget);
    QWidget other;
    other.setWindowTitle(QStringLiteral("別のウィンドウ"));
    (new QVBoxLayout(&other))->addWidget(new QLineEdit);
    show(&window);
    window.activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(field->hasFocus());
    const auto activate = [](QWidget* target) {
        target->activateWindow();
        QApplication::processEvents();
        ASSERT_TRUE(target->isActiveWindow());
    };

    QTest::keyClick(field, Qt::Key_Tab);
    ASSERT_TRUE(first->hasFocus());
    EXPECT_TRUE(FocusRing::isShown(first));
    first->setEnabled(false);
    ASSERT_TRUE(second->hasFocus());
    EXPECT_FALSE(FocusRing::isShown(second)) << "passed on by the program";
    first->setEnabled(true);
    second->setFocus();
    EXPECT_FALSE(FocusRing::isShown(second));

    // Through another window and back to the control that had it: the ring again.
    QTest::keyClick(second, Qt::Key_Tab);
    ASSERT_TRUE(third->hasFocus());
    show(&other);
    activate(&other);
    EXPECT_FALSE(FocusRing::isShown(third));
    activate(&window);
    ASSERT_TRUE(third->hasFocus());
    EXPECT_TRUE(FocusRing::isShown(third));
    // Given while the window was away, the focus comes back to another control: no ring.
    activate(&other);
    second->setFocus();
    activate(&window);
    ASSERT_TRUE(second->hasFocus());
    EXPECT_FALSE(FocusRing::isShown(second));
}

TEST_F(KeyboardFocusTest, TheSelectedSegmentStandsOutInDark)
{
    setDark(true);
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* segments = new SegmentedControl({QStringLiteral("アイコン"), QStringLiteral("文字")});
    segments->setFixedWidth(200);
    column->addWidget(segments);
    show(&window);
    const QImage image = window.grab().toImage();
    const QPoint origin = segments->geometry().topLeft();
    // Just inside each segment's left edge, clear of its title.
    const QColor selected = image.pixelColor(origin + QPoint(8, segments->height() / 2));
    const QColor other = image.pixelColor(origin + QPoint(segments->width() / 2 + 8, segments->height() / 2));
    EXPECT_GE(contrastRatio(selected, other), 3.0) << selected.name().toStdString() << " on " << other.name().toStdString();
    saveGrab(&window, QStringLiteral("segmented-dark"));
}

TEST(LineBreaks, WrapsOnlyAfterPunctuationAndKeepsWhatFits)
{
    const QFontMetrics metrics(UiFont::callout());
    const QString banner = QStringLiteral("「Codex 状態」を開けませんでした。ブラウザが見つかりません。");
    const int whole = metrics.horizontalAdvance(banner);
    const int first = metrics.horizontalAdvance(QStringLiteral("「Codex 状態」を開けませんでした。"));
    EXPECT_EQ(breakAtPunctuation(banner, metrics, whole), banner);
    EXPECT_EQ(breakAtPunctuation(banner, metrics, whole - 1),
              QStringLiteral("「Codex 状態」を開けませんでした。\nブラウザが見つかりません。"));
    EXPECT_EQ(breakAtPunctuation(banner, metrics, first), breakAtPunctuation(banner, metrics, whole - 1));

    // Closing brackets stay with their phrase; a space ends one; existing breaks stay.
    EXPECT_EQ(breakAtPunctuation(QStringLiteral("「設定。」を開く"), metrics, 1), QStringLiteral("「設定。」\nを開く"));
    EXPECT_EQ(breakAtPunctuation(QStringLiteral("Codex CLI"), metrics, 1), QStringLiteral("Codex\nCLI"));
    EXPECT_EQ(breakAtPunctuation(QStringLiteral("一行目。\n二行目、三"), metrics, 1000),
              QStringLiteral("一行目。\n二行目、三"));
    // Without punctuation nothing is broken: that is the label's own wrapping.
    EXPECT_EQ(breakAtPunctuation(QStringLiteral("句読点のない長い文"), metrics, 10), QStringLiteral("句読点のない長い文"));
    EXPECT_EQ(breakAtPunctuation(QString(), metrics, 10), QString());
}

} // namespace
} // namespace vantorel
