#pragma once

#include <QList>
#include <QString>

#include <cstdint>

namespace vantorel {

// The icon, title and one-sentence explanation of one setup step.
struct MacInitialSetupPage {
    QString symbol;
    QString title;
    QString detail;

    bool operator==(const MacInitialSetupPage&) const = default;

    static constexpr std::int64_t stepCount = 7;
    static constexpr std::int64_t reviewStep = stepCount - 1;

    // The seven pages in step order.
    static const QList<MacInitialSetupPage>& all();
};

// What the wizard's frame shows for a stored step. The stored value may lie outside 0...6: the
// page, counter, progress and navigation targets use it clamped; the step shown, the choice of
// the forward button and "戻る" use it raw, so below 0 reads as the first step, above 6 as review.
struct MacInitialSetupFrame {
    std::int64_t index = 0;
    QString counterText;
    bool backEnabled = false;
    bool forwardApplies = false;
    QString forwardTitle;
    QString forwardSymbol;
    QString forwardObjectName;
    int contentSpacing = 14;

    bool operator==(const MacInitialSetupFrame&) const = default;

    static MacInitialSetupFrame forStep(std::int64_t currentStep);
};

} // namespace vantorel
