#pragma once

#include <QList>
#include <QString>

namespace vantorel {

// One bullet of a guide page.
struct MacOnboardingPoint {
    QString symbol;
    QString title;
    QString detail;

    bool operator==(const MacOnboardingPoint&) const = default;
};

// One page of the read-only onboarding guide.
struct MacOnboardingPage {
    QString symbol;
    QString title;
    QString introduction;
    QList<MacOnboardingPoint> points;

    bool operator==(const MacOnboardingPage&) const = default;

    // The nine pages in order, built once and never changed.
    static const QList<MacOnboardingPage>& all();
};

} // namespace vantorel
