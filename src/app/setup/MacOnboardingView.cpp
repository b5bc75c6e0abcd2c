#include "app/setup/MacOnboardingView.h"

#include "app/setup/MacOnboardingPage.h"
#include "app/setup/SetupPageFrame.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"
#include "app/viewmodel/AppViewModel.h"
#include "sync/onboarding/OnboardingProgressStore.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QPushButton>
#include <QVBoxLayout>

#include <algorithm>

namespace vantorel {

namespace {

constexpr int pointSymbolFrame = 22;

// One point: its symbol in a fixed square, then title and detail.
class PointRow : public QWidget
{
public:
    explicit PointRow(QWidget* parent)
        : QWidget(parent)
    {
        auto* row = new QHBoxLayout(this);
        row->setContentsMargins(0, 0, 0, 0);
        row->setSpacing(11);
        m_symbol = new SymbolView(QString(), IconProvider::symbolSize(15), colors::accent, this);
        auto* symbolFrame = new QWidget(this);
        symbolFrame->setFixedSize(pointSymbolFrame, pointSymbolFrame);
        auto* centred = new QHBoxLayout(symbolFrame);
        centred->setContentsMargins(0, 0, 0, 0);
        centred->addWidget(m_symbol, 0, Qt::AlignCenter);
        row->addWidget(symbolFrame, 0, Qt::AlignTop);
        auto* texts = new QVBoxLayout;
        texts->setSpacing(3);
        m_title = new QLabel(this);
        m_title->setTextFormat(Qt::PlainText);
        m_title->setFont(UiFont::system(13, QFont::DemiBold));
        m_detail = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), this);
        m_detail->setFont(UiFont::system(12));
        setTextColor(m_detail, colors::secondary);
        texts->addWidget(m_title);
        texts->addWidget(m_detail);
        row->addLayout(texts, 1);
    }

    void setPoint(const MacOnboardingPoint& point)
    {
        m_symbol->setSymbol(point.symbol);
        m_title->setText(point.title);
        m_detail->setText(point.detail);
        setAccessibleName(QStringLiteral("%1、%2").arg(point.title, point.detail));
    }

private:
    SymbolView* m_symbol;
    QLabel* m_title;
    QLabel* m_detail;
};

} // namespace

MacOnboardingView::MacOnboardingView(AppViewModel& model, Action dismiss, Action proceedToSetup, QWidget* parent)
    : QWidget(parent)
    , m_model(model)
    , m_dismiss(std::move(dismiss))
    , m_proceedToSetup(std::move(proceedToSetup))
{
    setObjectName(QStringLiteral("onboarding.container"));
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    m_frame = new SetupPageFrame(QStringLiteral("はじめに"), QStringLiteral("onboarding"), {18, 22, 21, 14}, this);
    column->addWidget(m_frame);
    m_frame->contentLayout()->setSpacing(15);

    connect(m_frame->deferButton(), &QPushButton::clicked, this, &MacOnboardingView::deferGuide);
    connect(m_frame->backButton(), &QPushButton::clicked, this, &MacOnboardingView::goBack);
    connect(m_frame->forwardButton(), &QPushButton::clicked, this, &MacOnboardingView::goForward);
    connect(&m_model, &AppViewModel::changed, this, &MacOnboardingView::render);

    m_model.setOnboardingProgress(m_model.onboardingStore().begin());
    render();
}

int MacOnboardingView::pageIndex() const
{
    const auto last = static_cast<std::int64_t>(MacOnboardingPage::all().size()) - 1;
    return static_cast<int>(std::clamp<std::int64_t>(m_model.onboardingProgress().currentStep, 0, last));
}

void MacOnboardingView::render()
{
    const QList<MacOnboardingPage>& pages = MacOnboardingPage::all();
    const int index = pageIndex();
    const MacOnboardingPage& page = pages[index];
    m_frame->setStep(index, static_cast<int>(pages.size()));
    m_frame->setHeading(page.symbol, page.title, page.introduction);
    while (m_pointRows.size() < page.points.size()) {
        auto* row = new PointRow(m_frame);
        m_pointRows.append(row);
        m_frame->contentLayout()->addWidget(row);
    }
    for (qsizetype i = 0; i < m_pointRows.size(); ++i) {
        const bool shown = i < page.points.size();
        if (shown)
            static_cast<PointRow*>(m_pointRows[i])->setPoint(page.points[i]);
        m_pointRows[i]->setVisible(shown);
    }
    m_frame->backButton()->setEnabled(index > 0);
    if (index < pages.size() - 1)
        m_frame->setForward(QStringLiteral("次へ"), QStringLiteral("chevron.right"), QStringLiteral("onboarding.next"));
    else
        m_frame->setForward(QStringLiteral("設定へ"), QStringLiteral("slider.horizontal.3"),
                            QStringLiteral("onboarding.complete"));
}

void MacOnboardingView::deferGuide()
{
    m_model.setOnboardingProgress(m_model.onboardingStore().deferPresentation());
    render();
    if (m_dismiss)
        m_dismiss();
}

void MacOnboardingView::goBack()
{
    m_model.setOnboardingProgress(m_model.onboardingStore().move(pageIndex() - 1));
    render();
}

void MacOnboardingView::goForward()
{
    const int index = pageIndex();
    if (index < MacOnboardingPage::all().size() - 1) {
        m_model.setOnboardingProgress(m_model.onboardingStore().move(index + 1));
        render();
        return;
    }
    m_model.setOnboardingProgress(m_model.onboardingStore().complete());
    render();
    if (m_proceedToSetup)
        m_proceedToSetup();
}

} // namespace vantorel
