#include "app/shell/MemoryHousekeeping.h"

#include "app/shell/StatusItemPopover.h"
#include "app/ui/UiFont.h"
#include "support/DrainEvents.h"
#include "support/MappedFonts.h"
#include "support/ViewTest.h"

#include <QApplication>
#include <QDialog>
#include <QLabel>
#include <QTest>
#include <QVBoxLayout>

#include <gtest/gtest.h>

#include <array>
#include <cstdlib>

#if defined(__GLIBC__)
#include <malloc.h>
#endif

namespace vantorel {
namespace {

struct RecordedSteps
{
    QStringList ran;

    MemoryHousekeeping::Steps steps()
    {
        return {.releasePictures = [this] { ran << QStringLiteral("pictures"); },
                .releaseFaces = [this] { ran << QStringLiteral("faces"); },
                .returnHeap = [this] { ran << QStringLiteral("heap"); }};
    }
};

// Pages closing give back everything, pictures before faces before the heap, once per turn of
// closings and never while the closing code still runs; bursts give back the heap alone, once a
// run of them has settled.
TEST(MemoryHousekeeping, ClosedPagesReleaseEverythingInOneOrderAndBurstsOnlyTheHeap)
{
    RecordedSteps recorded;
    MemoryHousekeeping housekeeping(recorded.steps(), 0);
    housekeeping.windowClosed();
    housekeeping.popoverClosed();
    EXPECT_TRUE(recorded.ran.isEmpty());
    drainEvents();
    EXPECT_EQ(recorded.ran, (QStringList{"pictures", "faces", "heap"}));

    recorded.ran.clear();
    housekeeping.startUpDone();
    housekeeping.refreshBurstDone();
    housekeeping.refreshBurstDone();
    drainEvents();
    EXPECT_TRUE(recorded.ran.isEmpty()) << "the burst's tail on other threads has not settled yet";
    QCoreApplication::processEvents();
    EXPECT_EQ(recorded.ran, QStringList{"heap"});
    QCoreApplication::processEvents();
    EXPECT_EQ(recorded.ran, QStringList{"heap"});

    recorded.ran.clear();
    housekeeping.popoverClosed();
    drainEvents();
    EXPECT_EQ(recorded.ran, (QStringList{"pictures", "faces", "heap"}));
}

// The blocks a thread freed last wait in its cache, where trimming cannot reach them: giving the
// heap back must take them out, not put as many fresh blocks in their place.
TEST(MemoryHousekeeping, ReturningTheHeapEmptiesTheCallingThreadsCache)
{
#if !defined(__GLIBC__) || defined(__SANITIZE_ADDRESS__)
    GTEST_SKIP() << "only glibc's own allocator keeps a cache per thread";
#else
    // Seven freed blocks of each size the cache takes, a quarter of a megabyte, fill it.
    constexpr std::size_t largestCachedRequest = 1024;
    std::array<void*, largestCachedRequest / 16 * 7> blocks{};
    auto block = blocks.begin();
    for (std::size_t size = 16; size <= largestCachedRequest; size += 16)
        for (int i = 0; i < 7; ++i)
            *block++ = std::malloc(size);
    for (void* freed : blocks)
        std::free(freed);
    // Cached blocks count as in use.
    const std::size_t inUseWithFullCache = mallinfo2().uordblks;
    {
        MemoryHousekeeping housekeeping;
        housekeeping.returnFreedHeapToSystem();
        // Going, it waits for the thread that frees and trims.
    }
    const std::size_t inUseAfter = mallinfo2().uordblks;
    EXPECT_GT(inUseWithFullCache, inUseAfter + 200 * 1024);
#endif
}

class MemoryHousekeepingView : public ViewTest
{
};

// The popover keeps its pages between openings; closing it must still let go of the Japanese
// faces they drew with, as closing the window does, and again on every later opening: fonts that
// outlived one release must not load faces the next release cannot reach.
TEST_F(MemoryHousekeepingView, ClosingThePopoverUnmapsTheJapaneseFontsItsKeptPagesUsed)
{
    MemoryHousekeeping housekeeping;
    QLabel* label = nullptr;
    StatusItemPopover popover([&label] {
        auto* page = new QWidget;
        auto* layout = new QVBoxLayout(page);
        layout->addWidget(label = new QLabel(QStringLiteral("使用量の履歴")));
        auto* heading = new QLabel(QStringLiteral("太字の見出し"));
        heading->setFont(UiFont::headline());
        layout->addWidget(heading);
        return page;
    });
    QObject::connect(&popover, &StatusItemPopover::closed, &housekeeping, &MemoryHousekeeping::popoverClosed);
    for (int round = 1; round <= 3; ++round) {
        popover.open({});
        QApplication::processEvents();
        popover.grab();
        ASSERT_FALSE(mappedCjkFonts().isEmpty()) << "round " << round;
        popover.hide();
        drainEvents();
        EXPECT_EQ(mappedCjkFonts(), QStringList()) << "round " << round;
        EXPECT_EQ(popover.windowHandle(), nullptr) << "the native window and its image go too, round " << round;
    }
    ASSERT_NE(label, nullptr);
    EXPECT_EQ(label->text(), QStringLiteral("使用量の履歴")) << "the pages are kept";
}

// A dialog of the pages still open when the popover hides stands on the popover's native window,
// which then stays.
TEST_F(MemoryHousekeepingView, AnOpenDialogKeepsThePopoversNativeWindow)
{
    StatusItemPopover popover([] { return new QWidget; });
    popover.open({});
    QDialog dialog(&popover);
    dialog.show();
    popover.hide();
    drainEvents();
    EXPECT_NE(popover.windowHandle(), nullptr);
    dialog.hide();
}

} // namespace
} // namespace vantorel
