#pragma once

#include <QWidget>

class QLabel;
class QProgressBar;
class QPushButton;
class QScrollArea;
class QVBoxLayout;

namespace vantorel {

class SymbolButton;
class SymbolView;

// The frame shared by the onboarding guide and the setup wizard: a header with the flow's title,
// a step counter and a progress bar; a scrolling body with the page's heading, its explanation
// and the page's own content; and a footer with "あとで", "戻る" and the forward button. Return
// and Enter click the forward button unless the focus ring is on a button (that button takes
// them); Escape clicks "あとで". The frame holds no progress: the owner sets what it shows and
// connects the buttons.
class SetupPageFrame : public QWidget
{
    Q_OBJECT

public:
    // The sizes that differ between the two flows.
    struct Metrics {
        int bodySpacing = 16;
        int headingSize = 21;
        int headingSymbolSize = 20;
        int explanationSize = 13;
    };

    // Child object names start with `namePrefix` ("<prefix>.defer", "<prefix>.back", ...).
    SetupPageFrame(const QString& title, const QString& namePrefix, Metrics metrics, QWidget* parent = nullptr);

    // Counter "index+1 / count" and the progress bar at index+1 of count. A step other than the
    // one shown opens with the body scrolled to its top.
    void setStep(int index, int count);
    void setHeading(const QString& symbol, const QString& title, const QString& explanation);
    void setForward(const QString& title, const QString& symbol, const QString& objectName);

    // Where the page's own content goes, below the explanation.
    QVBoxLayout* contentLayout() const { return m_content; }

    QPushButton* deferButton() const { return m_defer; }
    SymbolButton* backButton() const { return m_back; }
    SymbolButton* forwardButton() const { return m_forward; }

private:
    QLabel* m_counter;
    QProgressBar* m_progress;
    QScrollArea* m_scroll;
    int m_step = -1;
    SymbolView* m_headingSymbol;
    QLabel* m_headingTitle;
    QLabel* m_explanation;
    QVBoxLayout* m_content;
    QPushButton* m_defer;
    SymbolButton* m_back;
    SymbolButton* m_forward;
};

} // namespace vantorel
