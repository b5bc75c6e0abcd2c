#include "app/ui/UiFont.h"

#include "support/MappedFonts.h"

#include <QApplication>
#include <QLabel>

#include <gtest/gtest.h>

namespace vantorel {
namespace {

// Draws Japanese in a label that uses the application font, then lets go of the label.
void drawJapaneseInTheApplicationFont()
{
    QLabel label(QStringLiteral("使用量の履歴と設定"));
    label.resize(300, 40);
    label.grab();
}

// After a window is gone, the faces it loaded are unmapped, also on a second round: the
// application font keeps no face of its own across a release.
TEST(UiFont, ReleasingUnusedFacesUnmapsTheJapaneseFontFiles)
{
    const QFont previous = QApplication::font();
    QApplication::setFont(UiFont::system(13));
    for (int round = 1; round <= 2; ++round) {
        drawJapaneseInTheApplicationFont();
        {
            QLabel bold(QStringLiteral("太字の見出し"));
            bold.setFont(UiFont::headline());
            bold.grab();
        }
        ASSERT_TRUE(mapsCjkFont()) << "round " << round << ": the Japanese faces were drawn";
        UiFont::releaseUnusedFaces();
        EXPECT_FALSE(mapsCjkFont()) << "round " << round << ": " << mappedFontFiles().join(u' ').toStdString();
    }
    // Text drawn afterwards loads its faces again.
    QLabel label(QStringLiteral("残り"));
    label.grab();
    EXPECT_TRUE(mapsCjkFont());
    QApplication::setFont(previous);
}

} // namespace
} // namespace vantorel
