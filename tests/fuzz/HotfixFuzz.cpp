// The hotfix inventory: WMI handing out HotFixID values of every kind (text of any
// content and length, converted numbers, empty, null, unreadable, not convertible), a
// query failing at any stage, a walk failing or stalling part-way, and an update
// identifier of any text. After each run IsHotfixInstalled's answer is the one worked out
// here from the objects the walk reached: a text or converted value matches when the
// lower-case identifier occurs in the lower-case value after its first character, or
// equals it.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/checks/HotfixInventory.h"

namespace {

using platform::HotfixId;

constexpr const wchar_t* kKnownIds[] = {L"KB3033929", L"KB2763674", L"KB976932", L"KB2533623"};

bool Matches(const std::wstring& id, const HotfixId& record) {
    if (record.kind != HotfixId::Kind::Text && record.kind != HotfixId::Kind::Converted)
        return false;
    const std::wstring lowerId = base::ToLower(id);
    const std::wstring lowerText = base::ToLower(record.text);
    const size_t at = lowerText.find(lowerId);
    return (at != std::wstring::npos && at > 0) || lowerText == lowerId;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t flags = input.Byte();
    std::wstring id = kKnownIds[flags & 3];
    if (flags & 4) {
        id = input.TextBlock();
    }
    const int stopAfter = input.Byte();
    std::vector<HotfixId> records;
    while (!input.Empty()) {
        HotfixId record;
        record.kind = static_cast<HotfixId::Kind>(input.Byte() % 6);
        record.text = input.TextBlock();
        records.push_back(record);
    }

    sim::Machine machine;
    // As the start-up leaves the main thread, where the checks ask.
    machine.platform().system.CoInitializeEx(win::kCoinitMultithreaded);
    sim::SimWmi& wmi = machine.wmi();
    wmi.ClearHotfixes();
    for (const HotfixId& record : records)
        wmi.AddHotfixRecord(record);
    const bool queryFails = (flags & 0x18) == 0x18;
    if (queryFails) {
        const auto stage = static_cast<platform::WmiStage>(1 + (flags >> 5) % 4);
        wmi.FailAt(stage, static_cast<int32_t>(0x80041003));  // WBEM_E_ACCESS_DENIED
    } else if (flags & 0x08) {
        wmi.FailNextAfter(stopAfter);
    } else if (flags & 0x10) {
        wmi.StallAfter(stopAfter);
    }

    bool expected = false;
    if (!queryFails) {
        const bool stops = (flags & 0x18) != 0;
        const size_t reached =
            stops && static_cast<size_t>(stopAfter) < records.size() ? stopAfter : records.size();
        for (size_t i = 0; i < reached && !expected; ++i)
            expected = Matches(id, records[i]);
    }
    const bool installed = IsHotfixInstalled(machine.platform(), id);
    FUZZ_CHECK(installed == expected, "%s: %d, expected %d", fuzz::Show(id).c_str(), installed,
               expected);
    FUZZ_CHECK(wmi.EndlessWaits() == 0, "a wait without a time limit");
    return 0;
}
