// The filter lists: AddDriverToFilterList over a value of any type and any bytes (or no
// value at all), for the disk drives' upper filters (no anchor) and the volumes' lower
// filters (in front of "iorate"). After each run, read the way the system reads a
// REG_MULTI_SZ list (strings up to the first empty one; a last string without its null
// ends with the data; an odd last byte is no character):
// - the value is a REG_MULTI_SZ;
// - every other driver the system read before is still there, in the same order, as often
//   as before;
// - the driver is there exactly once, spelt "cvflt", in front of the first anchor entry or
//   last;
// - running it again changes nothing.
#include <cstdint>
#include <string>
#include <vector>

#include "FuzzSupport.h"
#include "Setup/checks/DriverControl.h"
#include "Setup/engine/DriverRegistration.h"

namespace {

using platform::Hive;

// The list as the system reads it.
std::vector<std::wstring> SystemReads(const std::vector<uint8_t>& data) {
    std::vector<std::wstring> entries;
    std::wstring current;
    for (size_t i = 0; i + 1 < data.size(); i += 2) {
        const wchar_t c = static_cast<wchar_t>(data[i] | (data[i + 1] << 8));
        if (c != 0) {
            current += c;
        } else if (current.empty()) {
            return entries;
        } else {
            entries.push_back(current);
            current.clear();
        }
    }
    if (!current.empty())
        entries.push_back(current);
    return entries;
}

std::string Hex(const std::vector<uint8_t>& bytes) {
    std::string out;
    char buffer[4];
    for (uint8_t b : bytes) {
        std::snprintf(buffer, sizeof(buffer), "%02x", b);
        out += buffer;
    }
    return out;
}

std::string ShowList(const std::vector<std::wstring>& list) {
    std::string out = "(";
    for (size_t i = 0; i < list.size(); ++i)
        out += (i ? ", " : "") + fuzz::Show(list[i]);
    return out + ")";
}

// The value types worth trying most, and any other number.
constexpr uint32_t kTypes[] = {win::kRegMultiSz, win::kRegSz,    win::kRegExpandSz,
                               win::kRegBinary,  win::kRegDword, 0 /* REG_NONE */};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size) {
    fuzz::Input input(data, size);
    const uint8_t choice = input.Byte();
    const bool volumes = (choice & 1) != 0;
    const bool missing = (choice & 2) != 0;
    const size_t typeIndex = (choice >> 2) % (sizeof(kTypes) / sizeof(kTypes[0]) + 1);
    const uint32_t type =
        typeIndex < sizeof(kTypes) / sizeof(kTypes[0]) ? kTypes[typeIndex] : input.U32();
    const std::vector<uint8_t> before = missing ? std::vector<uint8_t>() : input.Rest();

    const std::wstring key = volumes ? kVolumeClassKey : kDiskClassKey;
    const std::wstring value = volumes ? kLowerFilters : kUpperFilters;
    const std::wstring anchor = volumes ? kVolumeFilterAnchor : L"";

    sim::Machine machine;
    sim::SimRegistry& registry = machine.registry();
    registry.CreateKey(Hive::LocalMachine, key);
    registry.DeleteValue(Hive::LocalMachine, key, value);
    if (!missing) {
        registry.SetRaw(Hive::LocalMachine, key, value, type, before);
    }

    FUZZ_CHECK(AddDriverToFilterList(machine.platform().registry, key, value, anchor),
               "the list was not written");
    const auto after = registry.GetRaw(Hive::LocalMachine, key, value);
    FUZZ_CHECK(after.has_value(), "no value after the registration");
    FUZZ_CHECK(after->type == win::kRegMultiSz, "type %u", after->type);

    const std::vector<std::wstring> was = SystemReads(before);
    const std::vector<std::wstring> now = SystemReads(after->bytes);
    std::vector<std::wstring> othersBefore, othersAfter;
    for (const std::wstring& e : was) {
        if (!base::EqualsNoCase(e, kDriverName))
            othersBefore.push_back(e);
    }
    size_t driverAt = now.size();
    size_t drivers = 0;
    for (size_t i = 0; i < now.size(); ++i) {
        if (base::EqualsNoCase(now[i], kDriverName)) {
            ++drivers;
            driverAt = i;
            FUZZ_CHECK(now[i] == kDriverName, "the driver spelt %s", fuzz::Show(now[i]).c_str());
        } else {
            othersAfter.push_back(now[i]);
        }
    }
    FUZZ_CHECK(othersAfter == othersBefore, "other drivers %s became %s",
               ShowList(othersBefore).c_str(), ShowList(now).c_str());
    FUZZ_CHECK(drivers == 1, "the driver %zu times in %s", drivers, ShowList(now).c_str());
    size_t wanted = othersBefore.size();
    for (size_t i = 0; i < othersBefore.size() && !anchor.empty(); ++i) {
        if (base::EqualsNoCase(othersBefore[i], anchor)) {
            wanted = i;
            break;
        }
    }
    FUZZ_CHECK(driverAt == wanted, "the driver at %zu, not %zu, in %s", driverAt, wanted,
               ShowList(now).c_str());

    FUZZ_CHECK(AddDriverToFilterList(machine.platform().registry, key, value, anchor),
               "the second run was not written");
    const auto again = registry.GetRaw(Hive::LocalMachine, key, value);
    FUZZ_CHECK(again.has_value() && again->type == win::kRegMultiSz && again->bytes == after->bytes,
               "a second run changed the list %s: %s became %s", ShowList(now).c_str(),
               Hex(after->bytes).c_str(), again ? Hex(again->bytes).c_str() : "nothing");
    return 0;
}
