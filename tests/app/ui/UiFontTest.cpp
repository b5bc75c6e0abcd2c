#include "app/ui/UiFont.h"

#include "support/MappedFonts.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// The faces a closed window loaded are unmapped, on the second round too: the application font,
// which widgets share, keeps none across a release.
TEST(UiFont, ReleasingUnusedFacesUnmapsTheJapaneseFontFiles)
{
    const QFont previous = QApplication::font();
    QApplication::setFont(UiFont::system(13));
    for (int round = 1; round <= 2; ++round) {
        QLabel(QStringLiteral("使用量の履歴")).grab();
        QLabel bold(QStringLiteral("太字の見出し"));
        bold.setFont(UiFont::headline());
        bold.grab();
        ASSERT_EQ(mappedCjkFonts().size(), 2) << "round " << round;
        UiFont::releaseUnusedFaces();
        EXPECT_EQ(mappedCjkFonts(), QStringList()) << "round " << round;
    }
    QApplication::setFont(previous);
}

} // namespace
} // namespace vantorel
