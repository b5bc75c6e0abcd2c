#include "app/shell/StatusItemPopover.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QLineEdit>
#include <QTest>
#include <QVBoxLayout>

namespace vantorel {
namespace {

class StatusItemPopoverKeys : public ViewTest
{
};

TEST_F(StatusItemPopoverKeys, EscapeAndCtrlWCloseItWhereverTheFocusIsAndOtherKeysDoNot)
{
    QLineEdit* field = nullptr;
    StatusItemPopover popover([&field] {
        auto* content = new QWidget;
        field = new QLineEdit(content);
        (new QVBoxLayout(content))->addWidget(field);
        return content;
    });
    popover.open({});
    QApplication::processEvents();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_A);
    QTest::keyClick(field, Qt::Key_Escape, Qt::ShiftModifier);
    EXPECT_TRUE(popover.isVisible());
    QTest::keyClick(field, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_FALSE(popover.justHidDueToDeactivation()) << "the next click on the item opens it again";

    popover.open({});
    QApplication::processEvents();
    EXPECT_TRUE(popover.isVisible());
    QTest::keyClick(&popover, Qt::Key_Escape);
    EXPECT_FALSE(popover.isVisible());

    // Ctrl+W closes it as it closes the window, from a field too.
    popover.open({});
    QApplication::processEvents();
    field->setFocus();
    QTest::keyClick(field, Qt::Key_W);
    EXPECT_TRUE(popover.isVisible());
    QTest::keyClick(field, Qt::Key_W, Qt::ControlModifier);
    EXPECT_FALSE(popover.isVisible());
    EXPECT_FALSE(popover.justHidDueToDeactivation());
}

} // namespace
} // namespace vantorel
