// The driver's registration: the six service values with their types and sizes, the two
// filter lists (the driver's place, matching ignoring case, duplicates, other products'
// entries, malformed values of every kind), running twice, and a service key that cannot
// be written completely.
#include <functional>
#include <string>
#include <vector>

#include <gtest/gtest.h>

#include "EngineTestMachine.h"
#include "Setup/checks/DriverControl.h"
#include "Setup/engine/DriverRegistration.h"
#include "base/Text.h"
#include "platform/Forwarding.h"
#include "sim/Machine.h"

namespace {

using platform::Hive;
using platform::KeyHandle;

// UTF-16LE bytes of |text| as it stands (write nulls with std::wstring(L"a\0b", 3)).
std::vector<uint8_t> Units(const std::wstring& text) {
    return base::ToUtf16LE(text);
}

// A well-formed list: every item with its null, then the final null.
std::vector<uint8_t> List(const std::vector<std::wstring>& items) {
    std::wstring text;
    for (const std::wstring& item : items) {
        text += item;
        text += L'\0';
    }
    text += L'\0';
    return Units(text);
}

std::vector<uint8_t> Join(std::vector<uint8_t> a, const std::vector<uint8_t>& b) {
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    for (size_t i = 0; i < bytes.size() && i < 96; ++i) {
        char b[4];
        std::snprintf(b, sizeof b, "%02x", bytes[i]);
        out += b;
    }
    return out + (bytes.size() > 96 ? "..." : "") + " (" + std::to_string(bytes.size()) + " bytes)";
}

// Fails SHSetValueW for one value name and passes everything else on.
class FailingValueRegistry : public platform::ForwardingRegistry {
public:
    FailingValueRegistry(platform::Registry& inner, std::wstring failing)
        : platform::ForwardingRegistry(inner), failing_(std::move(failing)) {}
    uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override {
        if (base::EqualsNoCase(value, failing_)) {
            return win::kErrorAccessDenied;
        }
        return m_inner.SetValue(hive, subKey, value, type, data, size);
    }

private:
    std::wstring failing_;
};

TEST(DriverRegistrationTest, ServiceValuesInOrderWithTheirSizes) {
    sim::Machine m;
    m.registry().SetString(Hive::LocalMachine, kDriverServiceKey, L"DisplayName", L"kept");
    EXPECT_TRUE(WriteDriverService(m.registry()));

    std::vector<std::wstring> written;
    for (const sim::RegWrite& w : m.registry().Writes()) {
        EXPECT_TRUE(base::EqualsNoCase(w.key, kDriverServiceKey));
        written.push_back(w.value);
    }
    EXPECT_EQ(written, (std::vector<std::wstring>{L"ImagePath", L"Group", L"Control",
                                                  L"ErrorControl", L"Start", L"Type"}));
    struct Row {
        const wchar_t* value;
        const wchar_t* expected;
    };
    const Row rows[] = {
        {L"ImagePath", L"REG_SZ \"SYSTEM32\\\\drivers\\\\cvflt.sys\\x00\" (54 bytes)"},
        {L"Group", L"REG_SZ \"System Bus Extender\\x00\" (40 bytes)"},
        {L"Control", L"REG_DWORD 0x10000041"},
        {L"ErrorControl", L"REG_DWORD 0x00000001"},
        {L"Start", L"REG_DWORD 0x00000000"},
        {L"Type", L"REG_DWORD 0x00000001"},
        {L"DisplayName", L"REG_SZ \"kept\\x00\" (10 bytes)"},
    };
    for (const Row& row : rows) {
        const auto raw = m.registry().GetRaw(Hive::LocalMachine, kDriverServiceKey, row.value);
        ASSERT_TRUE(raw.has_value()) << base::ToUtf8(row.value);
        EXPECT_EQ(enginetest::DescribeValue(*raw), row.expected);
    }
}

// The list as stored before, the list after one run and after a second run (the same).
TEST(DriverRegistrationTest, FilterListTable) {
    struct Case {
        const char* name;
        bool volumes;  // the volumes' LowerFilters (anchor "iorate"); else the disks' list
        bool present;  // the value exists before
        uint32_t type;
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
    };
    const std::wstring n(1, L'\0');
    const std::vector<Case> cases = {
        {"no value: the driver alone", false, false, 0, {}, List({L"cvflt"})},
        {"(PartMgr)", false, true, win::kRegMultiSz, List({L"PartMgr"}),
         List({L"PartMgr", L"cvflt"})},
        {"(cvflt, PartMgr): the driver moves to the end", false, true, win::kRegMultiSz,
         List({L"cvflt", L"PartMgr"}), List({L"PartMgr", L"cvflt"})},
        {"volumes (iorate)", true, true, win::kRegMultiSz, List({L"iorate"}),
         List({L"cvflt", L"iorate"})},
        {"volumes (x, CVFLT, iorate): matched ignoring case, written in lower case", true, true,
         win::kRegMultiSz, List({L"x", L"CVFLT", L"iorate"}), List({L"x", L"cvflt", L"iorate"})},
        {"volumes without iorate: at the end", true, true, win::kRegMultiSz,
         List({L"a", L"iorates", L"b"}), List({L"a", L"iorates", L"b", L"cvflt"})},
        {"volumes: before the first IORATE of two", true, true, win::kRegMultiSz,
         List({L"a", L"IORATE", L"b", L"iorate"}),
         List({L"a", L"cvflt", L"IORATE", L"b", L"iorate"})},
        {"the driver twice, also adjacent", false, true, win::kRegMultiSz,
         List({L"cvflt", L"CvFlt", L"a", L"cvflt", L"b", L"CVFLT"}), List({L"a", L"b", L"cvflt"})},
        {"an empty list", false, true, win::kRegMultiSz, List({}), List({L"cvflt"})},
        {"a value of no bytes", false, true, win::kRegMultiSz, {}, List({L"cvflt"})},
        {"REG_SZ PartMgr", false, true, win::kRegSz, Units(L"PartMgr" + n),
         List({L"PartMgr", L"cvflt"})},
        {"REG_EXPAND_SZ: its text as written", false, true, win::kRegExpandSz,
         Units(L"%Filter%x" + n), List({L"%Filter%x", L"cvflt"})},
        {"REG_BINARY holding a list", false, true, win::kRegBinary, List({L"a", L"b"}),
         List({L"a", L"b", L"cvflt"})},
        {"an odd byte count: the last byte is no character", false, true, win::kRegMultiSz,
         Join(List({L"a", L"b"}), {0x41}), List({L"a", L"b", L"cvflt"})},
        {"an odd byte count inside an entry", false, true, win::kRegMultiSz,
         Join(Units(L"Part"), {0x4D}), List({L"Part", L"cvflt"})},
        {"no final null", false, true, win::kRegMultiSz, Units(L"a" + n + L"b" + n),
         List({L"a", L"b", L"cvflt"})},
        {"no null at all", false, true, win::kRegMultiSz, Units(L"PartMgr"),
         List({L"PartMgr", L"cvflt"})},
        {"an empty entry in the middle: what follows is kept where the system does not read it",
         false, true, win::kRegMultiSz, Units(L"a" + n + n + L"b" + n + n),
         Join(List({L"a", L"cvflt"}), Units(L"b" + n + n))},
        {"volumes: iorate after an empty entry is not read", true, true, win::kRegMultiSz,
         Units(L"a" + n + n + L"iorate" + n + n),
         Join(List({L"a", L"cvflt"}), Units(L"iorate" + n + n))},
        // Written as it stood, the data would end in the middle of "b": RegSetValueExW
        // then reads the two bytes after the buffer to complete them, and what it stored
        // depended on the program's memory.
        {"an empty entry in the middle, the rest without its null: ended with one", false, true,
         win::kRegMultiSz, Units(L"a" + n + n + L"b"),
         Join(List({L"a", L"cvflt"}), Units(L"b" + n))},
        {"the same with an odd byte count", true, true, win::kRegBinary,
         Join(Units(L"a" + n + n + L"iorate"), {0x41}),
         Join(List({L"a", L"cvflt"}), Units(L"iorate" + n))},
        {"nulls after the final null", false, true, win::kRegMultiSz,
         Units(L"a" + n + n + n + n + n), List({L"a", L"cvflt"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        const std::wstring key = c.volumes ? kVolumeClassKey : kDiskClassKey;
        const std::wstring value = c.volumes ? kLowerFilters : kUpperFilters;
        const std::wstring anchor = c.volumes ? kVolumeFilterAnchor : L"";
        m.registry().DeleteValue(Hive::LocalMachine, key, value);
        if (c.present) {
            m.registry().SetRaw(Hive::LocalMachine, key, value, c.type, c.before);
        }
        // What goes to RegSetValueExW ends with a null character, so that Windows never
        // looks past it.
        const std::vector<uint8_t> written = PlaceDriverInFilterList(
            c.present ? c.before : std::vector<uint8_t>(), kDriverName, anchor);
        ASSERT_GE(written.size(), 2u);
        EXPECT_EQ(written[written.size() - 2] | written[written.size() - 1], 0);
        for (int run = 1; run <= 2; ++run) {
            SCOPED_TRACE(run);
            EXPECT_TRUE(AddDriverToFilterList(m.registry(), key, value, anchor));
            const auto raw = m.registry().GetRaw(Hive::LocalMachine, key, value);
            ASSERT_TRUE(raw.has_value());
            EXPECT_EQ(raw->type, win::kRegMultiSz);
            EXPECT_EQ(Hex(raw->bytes), Hex(c.after));
        }
        EXPECT_EQ(m.registry().OpenKeyCount(), 0u);
    }
}

// Thousands of entries and a value of 1 MiB: every other entry survives once, in its order.
TEST(DriverRegistrationTest, LargeFilterLists) {
    std::vector<std::wstring> many;
    for (int i = 0; i < 5000; ++i) {
        many.push_back(base::Format(L"filter%04d", i));
        if (i == 2500) {
            many.push_back(L"CvFlt");
        }
    }
    std::vector<std::wstring> expected;
    for (const std::wstring& item : many) {
        if (item != L"CvFlt") {
            expected.push_back(item);
        }
    }
    expected.push_back(L"cvflt");

    // One entry of half a million characters, then a short one: 1 MiB of data.
    const std::wstring huge(512 * 1024 - 4, L'h');
    const std::vector<uint8_t> megabyte = List({huge, L"z"});
    ASSERT_EQ(megabyte.size(), 1024u * 1024u);

    struct Case {
        const char* name;
        std::vector<uint8_t> before;
        std::vector<uint8_t> after;
    };
    const Case cases[] = {
        {"5001 entries", List(many), List(expected)},
        {"1 MiB", megabyte, List({huge, L"z", L"cvflt"})},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.registry().SetRaw(Hive::LocalMachine, kDiskClassKey, kUpperFilters, win::kRegMultiSz,
                            c.before);
        for (int run = 1; run <= 2; ++run) {
            EXPECT_TRUE(AddDriverToFilterList(m.registry(), kDiskClassKey, kUpperFilters, L""));
            const auto raw = m.registry().GetRaw(Hive::LocalMachine, kDiskClassKey, kUpperFilters);
            ASSERT_TRUE(raw.has_value());
            EXPECT_TRUE(raw->bytes == c.after) << Hex(raw->bytes);
        }
    }
}

// A class key that cannot be opened is neither created nor written; a value that cannot be
// read or written leaves the list as it was.
TEST(DriverRegistrationTest, ListsThatCannotBeChanged) {
    {
        sim::Machine m;
        m.registry().DeleteKeyTree(Hive::LocalMachine, kVolumeClassKey);
        EXPECT_FALSE(AddDriverToFilterList(m.registry(), kVolumeClassKey, kLowerFilters,
                                           kVolumeFilterAnchor));
        EXPECT_FALSE(m.registry().KeyExists(Hive::LocalMachine, kVolumeClassKey));
    }
    {
        sim::Machine m;
        m.registry().DenyOpen(Hive::LocalMachine, kDiskClassKey);
        EXPECT_FALSE(AddDriverToFilterList(m.registry(), kDiskClassKey, kUpperFilters, L""));
        m.registry().ClearDenials();
        EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters),
                  (std::vector<std::wstring>{L"PartMgr"}));
    }
    {
        sim::Machine m;
        m.registry().DenyWrite(Hive::LocalMachine, kDiskClassKey);
        EXPECT_FALSE(AddDriverToFilterList(m.registry(), kDiskClassKey, kUpperFilters, L""));
        EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters),
                  (std::vector<std::wstring>{L"PartMgr"}));
        EXPECT_EQ(m.registry().OpenKeyCount(), 0u);
    }
}

// Another program changes the list between the size query and the read, or the value
// cannot be queried or read: the driver goes into the list as it stands at the read, or the
// list stays as it was. Treating a failed read as a missing value would leave the driver
// alone in the list.
TEST(DriverRegistrationTest, ListsThatChangeOrCannotBeReadBetweenTheQueries) {
    using Hook = std::function<uint32_t(sim::SimRegistry&, int call)>;
    auto writeAt = [](int at, std::vector<std::wstring> items) -> Hook {
        return [at, items](sim::SimRegistry& registry, int call) {
            if (call == at) {
                registry.SetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters, items);
            }
            return 0u;
        };
    };
    auto failAt = [](int at) -> Hook {
        return
            [at](sim::SimRegistry&, int call) { return call == at ? win::kErrorAccessDenied : 0u; };
    };
    struct Case {
        const char* name;
        std::vector<uint8_t> before;
        Hook hook;  // runs at the start of each QueryValue: call 1 asks for the size
        bool added;
        std::vector<std::wstring> after;
    };
    const Case cases[] = {
        {"empty at the size query, filled before the read",
         {},
         writeAt(2, {L"PartMgr", L"other"}),
         true,
         {L"PartMgr", L"other", L"cvflt"}},
        {"grown before the read: asked again",
         List({L"PartMgr"}),
         writeAt(2, {L"PartMgr", L"a", L"b", L"c"}),
         true,
         {L"PartMgr", L"a", L"b", L"c", L"cvflt"}},
        {"the size query fails", List({L"PartMgr"}), failAt(1), false, {L"PartMgr"}},
        {"the read fails", List({L"PartMgr"}), failAt(2), false, {L"PartMgr"}},
        {"an empty value whose read fails", {}, failAt(2), false, {}},
    };
    for (const Case& c : cases) {
        SCOPED_TRACE(c.name);
        sim::Machine m;
        m.registry().SetRaw(Hive::LocalMachine, kDiskClassKey, kUpperFilters, win::kRegMultiSz,
                            c.before);
        m.registry().OnQueryValue(
            [&](const std::wstring&, int call) { return c.hook(m.registry(), call); });
        EXPECT_EQ(AddDriverToFilterList(m.registry(), kDiskClassKey, kUpperFilters, L""), c.added);
        m.registry().OnQueryValue(nullptr);
        EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters),
                  c.after);
        EXPECT_EQ(m.registry().OpenKeyCount(), 0u);
    }

    // A value that grows before every read is given up after a few attempts and left as
    // the other program wrote it last.
    sim::Machine m;
    std::vector<std::wstring> written = {L"PartMgr"};
    int calls = 0;
    m.registry().OnQueryValue([&](const std::wstring&, int call) {
        calls = call;
        if (call > 1) {
            written.push_back(base::Format(L"filter%d", call));
            m.registry().SetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters, written);
        }
        return 0u;
    });
    EXPECT_FALSE(AddDriverToFilterList(m.registry(), kDiskClassKey, kUpperFilters, L""));
    EXPECT_LE(calls, 10);
    EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters),
              written);
}

// Both lists name the driver only when its service key is complete: a filter that names a
// service without its key leaves the computer unable to start its disks.
TEST(DriverRegistrationTest, FilterListsOnlyWithACompleteServiceKey) {
    const wchar_t* const failing[] = {L"",      L"ImagePath", L"Group", L"Control", L"ErrorControl",
                                      L"Start", L"Type"};
    for (const wchar_t* value : failing) {
        SCOPED_TRACE(base::ToUtf8(value));
        sim::Machine m;
        m.registry().SetMultiString(Hive::LocalMachine, kVolumeClassKey, kLowerFilters,
                                    {L"iorate"});
        FailingValueRegistry registry(m.registry(), value);
        RegisterFilterDriver(registry);

        const bool complete = *value == L'\0';
        // Every value but the failing one is written all the same.
        EXPECT_EQ(m.registry().ValueNames(Hive::LocalMachine, kDriverServiceKey).size(),
                  complete ? 6u : 5u);
        EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kDiskClassKey, kUpperFilters),
                  complete ? (std::vector<std::wstring>{L"PartMgr", L"cvflt"})
                           : (std::vector<std::wstring>{L"PartMgr"}));
        EXPECT_EQ(m.registry().GetMultiString(Hive::LocalMachine, kVolumeClassKey, kLowerFilters),
                  complete ? (std::vector<std::wstring>{L"cvflt", L"iorate"})
                           : (std::vector<std::wstring>{L"iorate"}));
    }
}

}  // namespace
