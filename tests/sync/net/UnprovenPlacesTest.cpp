#include "sync/net/UnprovenPlaces.h"

#include <gtest/gtest.h>

#include <QHash>
#include <QList>

#include <random>

using namespace vantorel;

namespace {

const PskConnection::Origin phone{"phone", true};
const PskConnection::Origin flood{"flood", true};
const PskConnection::Origin newcomer{"new", false};

// Holds one connection from `origin` as the server does: whoever must give way goes first.
QUuid admit(UnprovenPlaces& places, const PskConnection::Origin& origin, QList<QUuid>* givenWay = nullptr)
{
    if (const std::optional<QUuid> going = places.givingWayTo(origin)) {
        EXPECT_TRUE(places.release(*going));
        if (givenWay)
            givenWay->append(*going);
    }
    const QUuid id = QUuid::createUuid();
    places.hold(id, origin);
    return id;
}

} // namespace

// A flood from an address the phone once proved the key from may fill the places nobody else
// needs, then displaces its own; a new address (the phone having moved, a device pairing) takes
// places back from it down to its share, and the phone on another remembered address keeps its
// place throughout.
TEST(UnprovenPlacesTest, ARememberedFloodKeepsItsShareAgainstOthersAndDisplacesItsOwn)
{
    UnprovenPlaces places(8, 4);
    const QUuid phoneWaiting = admit(places, phone);
    QList<QUuid> floodIds;
    QList<QUuid> givenWay;
    for (int i = 0; i < 20; ++i)
        floodIds.append(admit(places, flood, &givenWay));
    EXPECT_EQ(places.size(), 8);
    EXPECT_TRUE(places.contains(phoneWaiting));
    EXPECT_EQ(givenWay, floodIds.first(13)) << "the flood's oldest went, one by one";

    QList<QUuid> others;
    for (int i = 0; i < 4; ++i)
        others.append(admit(places, newcomer, &givenWay));
    EXPECT_EQ(givenWay, floodIds.first(17)) << "others took places back from the flood";
    EXPECT_TRUE(places.contains(phoneWaiting));
    // At their share, remembered ones keep it: others now displace one another.
    EXPECT_EQ(places.givingWayTo(newcomer), others.first());
    EXPECT_EQ(places.givingWayTo(PskConnection::Origin{"another", false}), others.first());
    // A remembered newcomer displaces the address holding most of them.
    EXPECT_EQ(places.givingWayTo(phone), floodIds[17]);
}

TEST(UnprovenPlacesTest, OthersGiveWayByTheGroupHoldingMostTheOldestOnATie)
{
    UnprovenPlaces places(4, 2);
    const QUuid a1 = admit(places, {"a", false});
    const QUuid b1 = admit(places, {"b", false});
    admit(places, {"b", false});
    const QUuid c1 = admit(places, {"c", false});
    EXPECT_EQ(places.givingWayTo({"d", false}), b1);
    ASSERT_TRUE(places.release(b1));
    admit(places, {"d", false});
    EXPECT_EQ(places.givingWayTo({"e", false}), a1) << "four groups of one: the oldest";
    EXPECT_EQ(*places.originOf(c1), (PskConnection::Origin{"c", false}));
    EXPECT_FALSE(places.release(b1));
    EXPECT_EQ(places.originOf(b1), nullptr);
}

// Against a plain model: thousands of random holds and releases over more groups than one span of
// a hash, checking the capacity, the share and who gives way.
TEST(UnprovenPlacesTest, ManyGroupsKeepTheCapacityTheShareAndTheOrder)
{
    constexpr int capacity = 64;
    constexpr int share = 32;
    UnprovenPlaces places(capacity, share);
    struct Model
    {
        QUuid id;
        PskConnection::Origin origin;
    };
    QList<Model> model;
    std::mt19937 random(7);
    for (int step = 0; step < 6'000; ++step) {
        if (!model.isEmpty() && random() % 4 == 0) {
            const Model gone = model.takeAt(qsizetype(random() % quint32(model.size())));
            ASSERT_TRUE(places.release(gone.id));
            continue;
        }
        const bool remembered = random() % 2 == 0;
        const PskConnection::Origin origin{QByteArray::number(random() % (remembered ? 5 : 300)), remembered};
        const auto count = [&](bool rememberedOnes, const QByteArray& group) {
            return std::count_if(model.cbegin(), model.cend(), [&](const Model& m) {
                return m.origin.remembered == rememberedOnes && (group.isNull() || m.origin.addressGroup == group);
            });
        };
        const std::optional<QUuid> going = places.givingWayTo(origin);
        const qsizetype rememberedHeld = count(true, {});
        ASSERT_EQ(going.has_value(), model.size() >= capacity) << step;
        if (going) {
            const auto gone =
                std::find_if(model.cbegin(), model.cend(), [&](const Model& m) { return m.id == *going; });
            ASSERT_NE(gone, model.cend());
            const bool fromRemembered = remembered ? rememberedHeld >= share : rememberedHeld > share;
            ASSERT_EQ(gone->origin.remembered, fromRemembered || count(false, {}) == 0) << step;
            // The group holding most, and its oldest.
            qsizetype most = 0;
            for (const Model& m : model) {
                if (m.origin.remembered == gone->origin.remembered)
                    most = std::max(most, count(m.origin.remembered, m.origin.addressGroup));
            }
            ASSERT_EQ(count(gone->origin.remembered, gone->origin.addressGroup), most) << step;
            const auto oldestOfGroup =
                std::find_if(model.cbegin(), model.cend(), [&](const Model& m) { return m.origin == gone->origin; });
            ASSERT_EQ(oldestOfGroup->id, *going) << step;
            ASSERT_TRUE(places.release(*going));
            model.erase(gone);
        }
        const QUuid id = QUuid::createUuid();
        places.hold(id, origin);
        model.append({id, origin});
        ASSERT_EQ(places.size(), model.size());
    }
}
