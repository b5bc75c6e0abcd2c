#include "app/ui/MenuBarGaugePanelPicture.h"
#include "app/ui/MenuBarGaugeSquarePicture.h"

#include <gtest/gtest.h>

#include <functional>
#include <string>
#include <utility>
#include <vector>

using namespace vantorel;

namespace gaugecachekeytest {

using Band = UsageGaugeColorBand;

// Each change touches one field of `base`; the changed key must differ from it and hash apart,
// or a picture cached under the old key would be shown for the new one.
template <typename Key>
void expectEveryFieldCounts(const Key& base, const std::vector<std::pair<std::string, std::function<void(Key&)>>>& changes)
{
    for (const auto& [field, change] : changes) {
        Key changed = base;
        change(changed);
        EXPECT_NE(changed, base) << field;
        EXPECT_NE(qHash(changed), qHash(base)) << field;
    }
}

TEST(MenuBarGaugeCacheKey, PanelKeysDifferInEveryField)
{
    using Key = MenuBarGaugePanelPicture::Key;
    const Key base{.appearanceName = QStringLiteral("light"),
                   .compact = true,
                   .labelStyle = MenuBarGaugeLabelStyle::period,
                   .codexIdentity = MenuBarProviderIdentityStyle::icon,
                   .claudeIdentity = MenuBarProviderIdentityStyle::icon,
                   .codexValues = {{MenuBarUsageWindow::fiveHour, {Band::healthy, 37}}},
                   .claudeValues = {{MenuBarUsageWindow::weekly, {Band::critical, 8}}}};
    expectEveryFieldCounts<Key>(
        base, {
                  {"appearanceName", [](Key& k) { k.appearanceName = QStringLiteral("dark"); }},
                  {"compact", [](Key& k) { k.compact = false; }},
                  {"labelStyle", [](Key& k) { k.labelStyle = MenuBarGaugeLabelStyle::remainingPercent; }},
                  {"codexIdentity style", [](Key& k) { k.codexIdentity = MenuBarProviderIdentityStyle::text; }},
                  {"codexIdentity off", [](Key& k) { k.codexIdentity.reset(); }},
                  {"claudeIdentity style", [](Key& k) { k.claudeIdentity = MenuBarProviderIdentityStyle::text; }},
                  {"claudeIdentity off", [](Key& k) { k.claudeIdentity.reset(); }},
                  {"codexValues window", [](Key& k) { k.codexValues[0].window = MenuBarUsageWindow::weekly; }},
                  {"codexValues band", [](Key& k) { k.codexValues[0].percent.band = Band::warning; }},
                  {"codexValues whole", [](Key& k) { k.codexValues[0].percent.whole = 38; }},
                  {"codexValues count", [](Key& k) { k.codexValues.append(k.codexValues[0]); }},
                  {"claudeValues window", [](Key& k) { k.claudeValues[0].window = MenuBarUsageWindow::fiveHour; }},
                  {"claudeValues band", [](Key& k) { k.claudeValues[0].percent.band = Band::unavailable; }},
                  {"claudeValues whole", [](Key& k) { k.claudeValues[0].percent.whole = 9; }},
                  {"values swapped", [](Key& k) { std::swap(k.codexValues, k.claudeValues); }},
              });
}

TEST(MenuBarGaugeCacheKey, SquareKeysDifferInEveryField)
{
    using Key = MenuBarGaugeSquarePicture::Key;
    const Key base{.appearanceName = QStringLiteral("light"),
                   .number = true,
                   .rings = {{Band::healthy, 37}, {Band::unavailable, 0}}};
    expectEveryFieldCounts<Key>(base, {
                                          {"appearanceName", [](Key& k) { k.appearanceName = QStringLiteral("dark"); }},
                                          {"number", [](Key& k) { k.number = false; }},
                                          {"rings band", [](Key& k) { k.rings[0].band = Band::warning; }},
                                          {"rings whole", [](Key& k) { k.rings[0].whole = 36; }},
                                          {"rings order", [](Key& k) { std::swap(k.rings[0], k.rings[1]); }},
                                          {"rings count", [](Key& k) { k.rings.removeLast(); }},
                                      });
}

TEST(MenuBarGaugeCacheKey, SquareSizeKeysDifferInEveryField)
{
    using Key = MenuBarGaugeSquarePicture::SizeKey;
    const Key base{.appearanceName = QStringLiteral("light"),
                   .devicePixelRatio = 1,
                   .side = 22,
                   .disabled = false,
                   .rings = {{.reading = true, .step = 40, .arcColor = 0xff34c759}, {}},
                   .dash = false,
                   .centreText = QStringLiteral("37")};
    expectEveryFieldCounts<Key>(
        base, {
                  {"appearanceName", [](Key& k) { k.appearanceName = QStringLiteral("dark"); }},
                  {"devicePixelRatio", [](Key& k) { k.devicePixelRatio = 1.25; }},
                  {"side", [](Key& k) { k.side = 24; }},
                  {"disabled", [](Key& k) { k.disabled = true; }},
                  {"rings reading", [](Key& k) { k.rings[1].reading = true; }},
                  {"rings step", [](Key& k) { k.rings[0].step = 41; }},
                  {"rings arcColor", [](Key& k) { k.rings[0].arcColor = 0xffff3b30; }},
                  {"rings count", [](Key& k) { k.rings.removeLast(); }},
                  {"dash", [](Key& k) { k.dash = true; }},
                  {"centreText", [](Key& k) { k.centreText.clear(); }},
              });
}

} // namespace gaugecachekeytest
