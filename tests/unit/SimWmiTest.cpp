#include <gtest/gtest.h>

#include "sim/Machine.h"

namespace {

using platform::HotfixId;
using platform::WmiNext;
using platform::WmiStage;
using sim::Machine;

std::vector<HotfixId> ReadAll(platform::HotfixEnumerator& results) {
    std::vector<HotfixId> ids;
    HotfixId id;
    while (results.Next(1000, &id) == WmiNext::Object) {
        ids.push_back(id);
    }
    return ids;
}

TEST(SimWmiTest, QueryNeedsCom) {
    Machine m;
    WmiStage stage = WmiStage::None;
    std::unique_ptr<platform::HotfixEnumerator> results;
    EXPECT_EQ(m.wmi().QueryHotfixes(&stage, &results), sim::kCoENotInitialized);
    EXPECT_EQ(stage, WmiStage::Locator);
    EXPECT_FALSE(results);
    EXPECT_EQ(m.wmi().QueryCount(), 1);
}

TEST(SimWmiTest, DefaultInventoryHandedOutOneByOne) {
    Machine m;
    m.system().CoInitializeEx(win::kCoinitMultithreaded);
    WmiStage stage = WmiStage::Query;
    std::unique_ptr<platform::HotfixEnumerator> results;
    ASSERT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    EXPECT_EQ(stage, WmiStage::None);
    ASSERT_TRUE(results);
    HotfixId id;
    ASSERT_EQ(results->Next(5000, &id), WmiNext::Object);
    EXPECT_EQ(results->LastResult(), win::kSOk);
    EXPECT_EQ(id.kind, HotfixId::Kind::Text);
    EXPECT_EQ(id.text, L"KB3033929");
    EXPECT_EQ(m.wmi().ObjectsHandedOut(), 1);
    EXPECT_EQ(results->Next(platform::kWmiInfinite, &id), WmiNext::End);
    EXPECT_EQ(results->LastResult(), win::kWbemSFalse);
    EXPECT_EQ(m.wmi().ObjectsHandedOut(), 1);
    EXPECT_EQ(m.wmi().NextTimeouts(), (std::vector<uint32_t>{5000, platform::kWmiInfinite}));
}

TEST(SimWmiTest, RecordsOfEveryKind) {
    Machine m;
    m.system().CoInitializeEx(win::kCoinitApartmentThreaded);
    m.wmi().ClearHotfixes();
    m.wmi().AddHotfixRecord({HotfixId::Kind::Null, L""});
    m.wmi().AddHotfixRecord({HotfixId::Kind::Converted, L"3033929"});
    m.wmi().AddHotfix(L"KB2763674");
    WmiStage stage;
    std::unique_ptr<platform::HotfixEnumerator> results;
    ASSERT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    m.wmi().ClearHotfixes();  // the query already has its results
    auto ids = ReadAll(*results);
    ASSERT_EQ(ids.size(), 3u);
    EXPECT_EQ(ids[0].kind, HotfixId::Kind::Null);
    EXPECT_EQ(ids[1].kind, HotfixId::Kind::Converted);
    EXPECT_EQ(ids[1].text, L"3033929");
    EXPECT_EQ(ids[2].text, L"KB2763674");

    ASSERT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    EXPECT_TRUE(ReadAll(*results).empty());
    EXPECT_EQ(m.wmi().QueryCount(), 2);
    EXPECT_EQ(m.wmi().ObjectsHandedOut(), 3);
}

TEST(SimWmiTest, InjectedFailures) {
    struct Row {
        WmiStage stage;
        int32_t hr;
    } rows[] = {
        {WmiStage::Locator, win::kRegdbEClassNotReg},
        {WmiStage::Connect, win::kWbemEInvalidNamespace},
        {WmiStage::Blanket, win::kEAccessDenied},
        {WmiStage::Query, win::kWbemEInvalidQuery},
    };
    for (const auto& r : rows) {
        Machine m;
        m.system().CoInitializeEx(win::kCoinitMultithreaded);
        m.wmi().FailAt(r.stage, r.hr);
        WmiStage stage = WmiStage::None;
        std::unique_ptr<platform::HotfixEnumerator> results;
        EXPECT_EQ(m.wmi().QueryHotfixes(&stage, &results), r.hr)
            << "stage " << static_cast<int>(r.stage);
        EXPECT_EQ(stage, r.stage);
        EXPECT_FALSE(results);
        m.wmi().FailAt(WmiStage::None, 0);
        EXPECT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    }

    // The walk through the results: a service that fails part-way, and one that stops
    // answering (each wait runs out; a wait without a limit would hang and is counted).
    Machine m;
    m.system().CoInitializeEx(win::kCoinitMultithreaded);
    m.wmi().AddHotfix(L"KB1");
    m.wmi().AddHotfix(L"KB2");
    m.wmi().FailNextAfter(1);
    WmiStage stage;
    std::unique_ptr<platform::HotfixEnumerator> results;
    ASSERT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    HotfixId id;
    EXPECT_EQ(results->Next(100, &id), WmiNext::Object);
    EXPECT_EQ(results->Next(100, &id), WmiNext::Failed);
    EXPECT_EQ(results->LastResult(), win::kRpcEDisconnected);

    m.wmi().FailNextAfter(-1);
    m.wmi().StallAfter(2);
    ASSERT_EQ(m.wmi().QueryHotfixes(&stage, &results), win::kSOk);
    EXPECT_EQ(results->Next(100, &id), WmiNext::Object);
    EXPECT_EQ(results->Next(100, &id), WmiNext::Object);
    EXPECT_EQ(results->Next(100, &id), WmiNext::TimedOut);
    EXPECT_EQ(results->LastResult(), win::kWbemSTimedOut);
    EXPECT_EQ(m.wmi().EndlessWaits(), 0);
    EXPECT_EQ(results->Next(platform::kWmiInfinite, &id), WmiNext::TimedOut);
    EXPECT_EQ(m.wmi().EndlessWaits(), 1);
}

}  // namespace
