#include "app/ui/CompactButton.h"
#include "app/ui/IconButton.h"
#include "app/ui/PillButton.h"
#include "app/ui/SystemColors.h"
#include "app/ui/ToggleSwitch.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QKeyEvent>
#include <QLineEdit>
#include <QPushButton>
#include <QShortcut>
#include <QSignalSpy>
#include <QTest>
#include <QVBoxLayout>

namespace vantorel {
namespace {

class ButtonKeysTest : public ViewTest
{
};

TEST_F(ButtonKeysTest, EveryButtonTypeButTheSwitchTakesReturnAndEnterWhileFocusedBeforeTheWindowsShortcut)
{
    QWidget window;
    auto* column = new QVBoxLayout(&window);
    auto* field = new QLineEdit;
    column->addWidget(field);
    // The window's own use of Return, as the guide's forward button has it.
    int windowReturns = 0;
    auto* shortcut = new QShortcut(QKeySequence(Qt::Key_Return), &window);
    QObject::connect(shortcut, &QShortcut::activated, [&windowReturns] { ++windowReturns; });

    const QList<QAbstractButton*> buttons{
        new QPushButton(QStringLiteral("保存")),
        new PillButton(QStringLiteral("終了"), [](const SystemColors& c) { return c.systemRed; }),
        new CompactButton(QStringLiteral("更新"), QStringLiteral("arrow.clockwise")),
        new IconButton(QStringLiteral("trash"), QStringLiteral("削除")),
    };
    for (QAbstractButton* button : buttons)
        column->addWidget(button);
    auto* toggle = new ToggleSwitch(QStringLiteral("通知"));
    column->addWidget(toggle);
    show(&window);
    window.activateWindow();
    QApplication::processEvents();
    ASSERT_TRUE(field->hasFocus());

    for (QAbstractButton* button : buttons) {
        const std::string name = QString(QString::fromLatin1(button->metaObject()->className()) + u' ' + button->text()).toStdString();
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        ASSERT_TRUE(button->hasFocus()) << name;
        QSignalSpy clicked(button, &QAbstractButton::clicked);
        QTest::keyClick(button, Qt::Key_Return);
        QTest::keyClick(button, Qt::Key_Enter, Qt::KeypadModifier);
        EXPECT_EQ(clicked.size(), 2) << name;
        // A modified Return is another key, and a held one presses once.
        QTest::keyClick(button, Qt::Key_Return, Qt::ControlModifier);
        QKeyEvent held(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier, QStringLiteral("\r"), true);
        QApplication::sendEvent(button, &held);
        EXPECT_EQ(clicked.size(), 2) << name;
    }
    EXPECT_EQ(windowReturns, 0);

    // A switch takes Space, as Qt's and KDE's do; Return stays the window's.
    QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
    ASSERT_TRUE(toggle->hasFocus());
    QTest::keyClick(toggle, Qt::Key_Space);
    EXPECT_TRUE(toggle->isChecked());
    QTest::keyClick(toggle, Qt::Key_Return);
    QTest::keyClick(toggle, Qt::Key_Enter, Qt::KeypadModifier);
    EXPECT_TRUE(toggle->isChecked());
    EXPECT_EQ(windowReturns, 1);
    windowReturns = 0;

    // Away from the buttons the window's shortcut has the key, and so it has with the focus on
    // a button that shows no ring: one just clicked.
    field->setFocus(Qt::TabFocusReason);
    QTest::keyClick(field, Qt::Key_Return);
    EXPECT_EQ(windowReturns, 1);
    QSignalSpy clicked(buttons.first(), &QAbstractButton::clicked);
    QTest::mouseClick(buttons.first(), Qt::LeftButton);
    ASSERT_TRUE(buttons.first()->hasFocus());
    QTest::keyClick(buttons.first(), Qt::Key_Return);
    EXPECT_EQ(clicked.size(), 1);
    EXPECT_EQ(windowReturns, 2);
}

} // namespace
} // namespace vantorel
