#include "core/model/EncodedRecordList.h"
#include "core/model/ModelCoding.h"
#include "core/model/UsageHistoryEntry.h"

#include <gtest/gtest.h>

#include <cmath>

namespace vantorel {
namespace {

UsageHistoryEntry sample(int n)
{
    return {QUuid::createUuid(), n % 3 == 0 ? MonitoredProvider::claude : MonitoredProvider::codex,
            Date(794'045'700.25 + n * 901), 50.0 + n % 7, n % 2 ? std::optional<double>() : 70.5, 1};
}

QByteArray wholeList(const QList<UsageHistoryEntry>& entries)
{
    return json::write(toJsonArray(entries), json::Form::store);
}

// Each step changes the list the way the application does; every encoding must equal encoding the
// whole list afresh, so no piece of a record that changed or moved is reused in the wrong place.
TEST(EncodedRecordList, EqualsTheWholeListAfterEveryKindOfChange)
{
    EncodedRecordList<UsageHistoryEntry> form;
    QList<UsageHistoryEntry> list;
    for (int i = 0; i < 40; ++i) {
        list.append(sample(i));
    }
    auto expectSame = [&](const char* step) {
        SCOPED_TRACE(step);
        EXPECT_EQ(form.encode(list), wholeList(list));
    };
    expectSame("first");
    list.append(sample(40));
    expectSame("appended");
    list.remove(0, 3);
    list.append(sample(41));
    expectSame("pruned at the front and appended");
    list.removeIf([](const UsageHistoryEntry& entry) { return entry.provider == MonitoredProvider::claude; });
    expectSame("one provider removed");
    list[5].fiveHourRemainingPercent = CompactPercent::from(1.25);
    expectSame("one record changed in place");
    list.insert(2, list.at(7));
    list.move(10, 0);
    expectSame("a duplicate and a move");
    list[3].id = list[4].id;
    expectSame("two records sharing an id");
    list = {sample(100)};
    expectSame("replaced by another list");
    list.clear();
    expectSame("empty");
}

TEST(EncodedRecordList, AFailedEncodingKeepsThePreviousPieces)
{
    EncodedRecordList<UsageHistoryEntry> form;
    QList<UsageHistoryEntry> list{sample(1), sample(2)};
    form.encode(list);
    QList<UsageHistoryEntry> broken = list;
    broken.append(sample(3));
    broken.last().weeklyRemainingPercent = CompactPercent::from(std::nan(""));
    EXPECT_THROW(form.encode(broken), JsonEncodeError);
    list.append(sample(4));
    EXPECT_EQ(form.encode(list), wholeList(list));
}

// Left out, a record that cannot be encoded leaves the text the whole list without it would give,
// wherever it sits and however the list changes around it.
TEST(EncodedRecordList, LeavingOutUnencodableRecordsEqualsTheWholeListWithoutThem)
{
    using Form = EncodedRecordList<UsageHistoryEntry>;
    Form form;
    QList<UsageHistoryEntry> list;
    for (int i = 0; i < 12; ++i) {
        list.append(sample(i));
    }
    auto broken = [](int n) {
        UsageHistoryEntry entry = sample(n);
        entry.recordedAt = Date(std::nan(""));
        return entry;
    };
    auto expectSame = [&](const char* step) {
        SCOPED_TRACE(step);
        QList<UsageHistoryEntry> encodable = list;
        encodable.removeIf([](const UsageHistoryEntry& entry) {
            return std::isnan(entry.recordedAt.timeIntervalSinceReferenceDate());
        });
        EXPECT_EQ(form.encode(list, Form::Unencodable::skip), wholeList(encodable));
    };
    list.prepend(broken(100));
    list.insert(5, broken(101));
    list.append(broken(102));
    expectSame("first, middle and last left out");
    list.append(sample(12));
    expectSame("appended after a left-out record");
    list.removeFirst();
    list.removeFirst();
    expectSame("the front dropped");
    list = {broken(103)};
    expectSame("nothing encodable");
}

} // namespace
} // namespace vantorel
