#include "app/setup/SetupPageFrame.h"

#include "app/ui/HorizontalDivider.h"
#include "app/ui/IconProvider.h"
#include "app/ui/LineLimitedLabel.h"
#include "app/ui/PageScrollArea.h"
#include "app/ui/SymbolButton.h"
#include "app/ui/SymbolView.h"
#include "app/ui/TextColor.h"
#include "app/ui/UiFont.h"

#include <QHBoxLayout>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QScrollArea>
#include <QScrollBar>
#include <QShortcut>
#include <QVBoxLayout>

namespace vantorel {

namespace {

constexpr int progressBarHeight = 6;

QLabel* plainLabel(const QFont& font, QWidget* parent)
{
    auto* label = new QLabel(parent);
    label->setTextFormat(Qt::PlainText);
    label->setFont(font);
    return label;
}

// `key` anywhere in the frame's window clicks `button` while it is enabled.
void clickOnKey(const QKeySequence& key, QAbstractButton* button, QWidget* frame)
{
    auto* shortcut = new QShortcut(key, frame);
    shortcut->setContext(Qt::WindowShortcut);
    QObject::connect(shortcut, &QShortcut::activated, button, [button] {
        if (button->isEnabled())
            button->click();
    });
}

} // namespace

SetupPageFrame::SetupPageFrame(const QString& title, const QString& namePrefix, Metrics metrics, QWidget* parent)
    : QWidget(parent)
{
    auto* column = new QVBoxLayout(this);
    column->setContentsMargins(0, 0, 0, 0);
    column->setSpacing(0);

    auto* header = new QVBoxLayout;
    header->setContentsMargins(20, 13, 20, 13);
    header->setSpacing(7);
    auto* titleRow = new QHBoxLayout;
    titleRow->addWidget(new QLabel(title, this));
    titleRow->itemAt(0)->widget()->setFont(UiFont::system(13, QFont::DemiBold));
    titleRow->addStretch(1);
    m_counter = plainLabel(UiFont::monospacedDigits(UiFont::system(12, QFont::DemiBold)), this);
    m_counter->setObjectName(namePrefix + QStringLiteral(".counter"));
    setTextColor(m_counter, colors::secondary);
    titleRow->addWidget(m_counter);
    header->addLayout(titleRow);
    m_progress = new QProgressBar(this);
    m_progress->setObjectName(namePrefix + QStringLiteral(".progress"));
    m_progress->setTextVisible(false);
    m_progress->setFixedHeight(progressBarHeight);
    header->addWidget(m_progress);
    column->addLayout(header);
    column->addWidget(new HorizontalDivider(this));

    auto* body = new QWidget;
    m_scroll = makePageScrollArea(body, namePrefix + QStringLiteral(".scroll"), this);
    auto* bodyColumn = new QVBoxLayout(body);
    bodyColumn->setContentsMargins(20, 20, 20, 20);
    bodyColumn->setSpacing(metrics.bodySpacing);

    auto* heading = new QHBoxLayout;
    heading->setSpacing(8);
    m_headingSymbol = new SymbolView(QString(), IconProvider::symbolSize(metrics.headingSymbolSize), colors::accent, body);
    m_headingTitle = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), body);
    m_headingTitle->setObjectName(namePrefix + QStringLiteral(".title"));
    m_headingTitle->setFont(UiFont::system(metrics.headingSize, QFont::Bold));
    heading->addWidget(m_headingSymbol, 0, Qt::AlignVCenter);
    heading->addWidget(m_headingTitle, 1);
    bodyColumn->addLayout(heading);
    m_explanation = new LineLimitedLabel(LineLimitedLabel::unlimited, QString(), body);
    m_explanation->setObjectName(namePrefix + QStringLiteral(".explanation"));
    m_explanation->setFont(UiFont::system(metrics.explanationSize, QFont::Medium));
    setTextColor(m_explanation, colors::secondary);
    bodyColumn->addWidget(m_explanation);
    m_content = new QVBoxLayout;
    m_content->setContentsMargins(0, 0, 0, 0);
    bodyColumn->addLayout(m_content);
    bodyColumn->addStretch(1);
    column->addWidget(m_scroll, 1);
    column->addWidget(new HorizontalDivider(this));

    auto* footer = new QHBoxLayout;
    footer->setContentsMargins(20, 12, 20, 12);
    footer->setSpacing(8);
    m_defer = new QPushButton(QStringLiteral("あとで"), this);
    m_defer->setObjectName(namePrefix + QStringLiteral(".defer"));
    m_back = new SymbolButton(QStringLiteral("戻る"), QStringLiteral("chevron.left"), this);
    m_back->setObjectName(namePrefix + QStringLiteral(".back"));
    m_forward = new SymbolButton(QString(), QString(), this);
    m_forward->setDefault(true);
    footer->addWidget(m_defer);
    footer->addStretch(1);
    footer->addWidget(m_back);
    footer->addWidget(m_forward);
    column->addLayout(footer);

    // The forward button is the window's default action; a button with the focus ring keeps
    // Return and Enter for itself (the kit's buttons claim them before any shortcut). Escape is
    // "あとで".
    clickOnKey(QKeySequence(Qt::Key_Return), m_forward, this);
    clickOnKey(QKeySequence(Qt::Key_Enter), m_forward, this);
    clickOnKey(QKeySequence(Qt::Key_Escape), m_defer, this);
}

void SetupPageFrame::setStep(int index, int count)
{
    // The steps share the body: without this, a step left scrolled down opens the next mid-page.
    if (index != m_step)
        m_scroll->verticalScrollBar()->setValue(0);
    m_step = index;
    m_counter->setText(QString::number(index + 1) + QStringLiteral(" / ") + QString::number(count));
    m_progress->setRange(0, count);
    m_progress->setValue(index + 1);
}

void SetupPageFrame::setHeading(const QString& symbol, const QString& title, const QString& explanation)
{
    m_headingSymbol->setSymbol(symbol);
    m_headingTitle->setText(title);
    m_explanation->setText(explanation);
}

void SetupPageFrame::setForward(const QString& title, const QString& symbol, const QString& objectName)
{
    m_forward->setText(title);
    m_forward->setSymbol(symbol);
    m_forward->setObjectName(objectName);
}

} // namespace vantorel
