// The hotfix inventory: the matching rule, the values a HotFixID can hold, and a WMI service
// that fails at each stage or stops answering.
#include <gtest/gtest.h>

#include <string>
#include <vector>

#include "Setup/checks/HotfixInventory.h"
#include "base/Text.h"
#include "sim/Machine.h"

namespace {

using platform::HotfixId;
using platform::WmiStage;

// A machine whose main thread is in the multithreaded apartment, as after the start-up.
struct InventoryMachine {
    InventoryMachine() {
        m.system().CoInitializeEx(win::kCoinitMultithreaded);
        m.wmi().ClearHotfixes();
    }
    sim::Machine m;
};

HotfixId Record(HotfixId::Kind kind, const std::wstring& text = L"") {
    HotfixId id;
    id.kind = kind;
    id.text = text;
    return id;
}

TEST(HotfixInventoryTest, MatchingRule) {
    struct Row {
        const wchar_t* hotfixId;
        const wchar_t* asked;
        bool installed;
    };
    const Row rows[] = {
        {L"KB3033929", L"KB3033929", true},
        {L"KB3033929", L"kb3033929", true},
        {L"kb3033929", L"KB3033929", true},
        // The identifier after a prefix matches...
        {L"Q3033929", L"3033929", true},
        {L"Update for KB3033929", L"KB3033929", true},
        {L"xKB3033929-v2", L"KB3033929", true},
        // ...one that starts the text and goes on does not; equal whole texts do.
        {L"KB3033929-v2", L"KB3033929", false},
        {L"KB3033929KB3033929", L"KB3033929", false},
        {L"KB303392", L"KB3033929", false},
        {L"KB30339290", L"KB3033929", false},
        {L"", L"KB3033929", false},
        {L"KB2763674", L"KB3033929", false},
        // Case folding beyond ASCII applies to both sides alike.
        {L"\u00C9KB1", L"\u00E9kb1", true},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(base::ToUtf8(std::wstring(r.hotfixId) + L" / " + r.asked));
        InventoryMachine im;
        im.m.wmi().AddHotfix(r.hotfixId);
        EXPECT_EQ(IsHotfixInstalled(im.m.platform(), r.asked), r.installed);
    }
    EXPECT_TRUE(HotfixTextMatches(L"kb1", L"xkb1"));
    EXPECT_FALSE(HotfixTextMatches(L"kb1", L"kb1x"));
}

// Values of every kind: unreadable, empty and null ones are passed over, numbers and other
// types converted to text are compared, values that cannot be converted do not match. The
// walk goes on past each of them to the object that matches.
TEST(HotfixInventoryTest, ValuesOfEveryKind) {
    const std::wstring longText(10000, L'K');
    struct Row {
        const char* name;
        HotfixId record;
        const wchar_t* asked;
        bool installed;
    };
    const Row rows[] = {
        {"a number converted to text", Record(HotfixId::Kind::Converted, L"3033929"), L"3033929",
         true},
        {"a number that merely contains the identifier",
         Record(HotfixId::Kind::Converted, L"13033929"), L"3033929", true},
        {"a number that starts with it", Record(HotfixId::Kind::Converted, L"30339291"), L"3033929",
         false},
        {"10,000 characters ending in the identifier",
         Record(HotfixId::Kind::Text, longText + L"KB3033929"), L"KB3033929", true},
        {"10,000 characters", Record(HotfixId::Kind::Text, longText), L"KB3033929", false},
        {"an empty text", Record(HotfixId::Kind::Text, L""), L"KB3033929", false},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        InventoryMachine im;
        im.m.wmi().AddHotfixRecord(r.record);
        EXPECT_EQ(IsHotfixInstalled(im.m.platform(), r.asked), r.installed);
    }

    InventoryMachine im;
    for (HotfixId::Kind kind : {HotfixId::Kind::ReadFailed, HotfixId::Kind::Empty,
                                HotfixId::Kind::Null, HotfixId::Kind::NotConvertible}) {
        // Whatever text such a record carries is never looked at.
        im.m.wmi().AddHotfixRecord(Record(kind, L"KB3033929"));
    }
    EXPECT_FALSE(IsHotfixInstalled(im.m.platform(), L"KB3033929"));
    EXPECT_EQ(im.m.wmi().ObjectsHandedOut(), 4);
    im.m.wmi().AddHotfix(L"KB3033929");
    EXPECT_TRUE(IsHotfixInstalled(im.m.platform(), L"KB3033929"));
}

// The walk stops at the first match; without one it reads the whole inventory.
TEST(HotfixInventoryTest, StopsAtTheFirstMatch) {
    InventoryMachine im;
    for (int i = 0; i < 300; ++i) {
        im.m.wmi().AddHotfix(base::Format(L"KB%d", 1000000 + i));
    }
    EXPECT_TRUE(IsHotfixInstalled(im.m.platform(), L"KB1000009"));
    EXPECT_EQ(im.m.wmi().ObjectsHandedOut(), 10);
    EXPECT_FALSE(IsHotfixInstalled(im.m.platform(), L"KB3033929"));
    EXPECT_EQ(im.m.wmi().ObjectsHandedOut(), 310);
    EXPECT_EQ(im.m.wmi().QueryCount(), 2);
}

// Every failure is a missing update: the locator, the connection, the proxy's security, the
// query, a walk that fails part-way, and a service that stops answering. Each wait for the
// next object is bounded.
TEST(HotfixInventoryTest, EveryFailureIsFalse) {
    struct Row {
        const char* name;
        WmiStage stage;
        int failNextAfter;
        int stallAfter;
        int handedOut;
    };
    const Row rows[] = {
        {"locator", WmiStage::Locator, -1, -1, 0},
        {"connect", WmiStage::Connect, -1, -1, 0},
        {"blanket", WmiStage::Blanket, -1, -1, 0},
        {"query", WmiStage::Query, -1, -1, 0},
        {"next fails at once", WmiStage::None, 0, -1, 0},
        {"next fails after one object", WmiStage::None, 1, -1, 1},
        {"the service stops answering at once", WmiStage::None, -1, 0, 0},
        {"the service stops answering after one object", WmiStage::None, -1, 1, 1},
    };
    for (const Row& r : rows) {
        SCOPED_TRACE(r.name);
        InventoryMachine im;
        im.m.wmi().AddHotfix(L"KB1");
        im.m.wmi().AddHotfix(L"KB3033929");
        im.m.wmi().FailAt(r.stage, win::kWbemEFailed);
        im.m.wmi().FailNextAfter(r.failNextAfter);
        im.m.wmi().StallAfter(r.stallAfter);
        EXPECT_FALSE(IsHotfixInstalled(im.m.platform(), L"KB3033929"));
        EXPECT_EQ(im.m.wmi().ObjectsHandedOut(), r.handedOut);
        for (uint32_t timeout : im.m.wmi().NextTimeouts()) {
            EXPECT_EQ(timeout, kHotfixWaitMilliseconds);
        }
        EXPECT_EQ(im.m.wmi().EndlessWaits(), 0);
    }

    // Without COM on the thread the locator cannot be made.
    sim::Machine m;
    EXPECT_FALSE(IsHotfixInstalled(m.platform(), L"KB3033929"));
    EXPECT_EQ(m.wmi().QueryCount(), 1);
}

}  // namespace
