#pragma once

#include <QFont>
#include <QString>
#include <QStringList>
#include <QWidget>

class QLabel;

#include <gtest/gtest.h>

#include <limits>

namespace vantorel {

// Base fixture of widget tests: offscreen, the Japanese locale, the kit's style and the light
// palette. A machine without the Japanese font fails at once instead of rendering boxes.
class ViewTest : public ::testing::Test
{
protected:
    void SetUp() override;
    void TearDown() override;

    static void setDark(bool dark);

    // The descendant of `root` with that object name and type; a test failure when there is none.
    template <typename T>
    static T* find(const QWidget* root, const QString& objectName)
    {
        T* found = root->findChild<T*>(objectName);
        if (!found)
            ADD_FAILURE() << "no " << T::staticMetaObject.className() << " named " << objectName.toStdString();
        return found;
    }

    // Shows the widget as a window and lets it lay out.
    static void show(QWidget* widget);

    // Saves widget->grab() as <name>.png under $VANTOREL_TEST_ARTEFACTS (nothing when unset).
    static void saveGrab(QWidget* widget, const QString& name);

    // Lays out the text of every visible label and button below `root` in its own font and
    // fails for each one that needs a glyph no installed font has.
    static void expectNoMissingGlyphs(const QWidget* root);

    // Fails for each visible button below `root` narrower than its title needs: a push button
    // its title, its icon and the kit's padding on both sides (and the kit's minimum width), any
    // other button its own size hint.
    static void expectButtonsFit(const QWidget* root);

    // Fails for each line of the wrapped `label` but its last that does not end where
    // `linePhrases` allows a break, or `phraseParts` inside a phrase wider than the label: a
    // Japanese line broken inside a word.
    static void expectLinesEndAtPunctuation(const QLabel* label);
    // The same for `lines`, the wrapped lines of `text` in order (spaces at the breaks may be
    // dropped, and the last line may end in an ellipsis), `width` pixels of `font` wide; `what`
    // names them in failures. By default no phrase is too wide, so they break only between phrases.
    static void expectLinesEndAtPunctuation(const QStringList& lines, const QString& text, const std::string& what,
                                            const QFont& font = QFont(), int width = std::numeric_limits<int>::max());

    // Fails for each visible widget below `root` that a layout gives less height than its own
    // minimum (its height for its width where that depends on the width): a part pressed to a
    // sliver instead of scrolled. Returns how many widgets it weighed.
    static int expectNothingSqueezed(const QWidget* root);

    // Shows `widget`'s tool tip as Qt shows it and returns its lines as laid out there; hides it.
    static QStringList shownToolTipLines(QWidget* widget);

    // Fails unless `cancel` and `action` form the kit's button row of `sheet`: one row at the
    // trailing edge, the cancel button right before the action.
    static void expectSheetButtonRow(const QWidget* sheet, const QWidget* cancel, const QWidget* action);
};

} // namespace vantorel
