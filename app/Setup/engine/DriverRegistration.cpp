#include "Setup/engine/DriverRegistration.h"

#include <algorithm>

#include "Setup/checks/DriverControl.h"
#include "Setup/engine/RegistryData.h"
#include "base/Text.h"

namespace {

using platform::Hive;

// A value that changes size between the size query and the read is asked for again, a
// few times.
constexpr int kReadAttempts = 4;
// The read's buffer is never empty, even for a value that was empty at the size query.
constexpr size_t kSmallestReadBuffer = 2;

bool WriteString(platform::Registry& registry, const wchar_t* value, const std::wstring& text) {
    const std::vector<uint8_t> data = StringValueData(text);
    return registry.SetValue(Hive::LocalMachine, kDriverServiceKey, value, win::kRegSz, data.data(),
                             static_cast<uint32_t>(data.size())) == win::kErrorSuccess;
}

bool WriteDword(platform::Registry& registry, const wchar_t* value, uint32_t number) {
    const auto data = DwordValueData(number);
    return registry.SetValue(Hive::LocalMachine, kDriverServiceKey, value, win::kRegDword,
                             data.data(), static_cast<uint32_t>(data.size())) == win::kErrorSuccess;
}

// An entry of a list: |length| UTF-16 units from unit |begin| of the data.
struct Entry {
    size_t begin;
    size_t length;
};

// Reads the whole value into |data|. A missing value reads as no data.
//
// The read always passes a buffer, of at least two bytes: without one, RegQueryValueExW
// only reports the size, so a value that was empty at the size query and that another
// program filled before the read would "succeed" with none of its data, and the list
// written back would lose every entry. With a buffer, a value that grew answers
// kErrorMoreData with its new size and is asked for again.
uint32_t ReadValue(platform::Registry& registry, platform::KeyHandle key,
                   const std::wstring& valueName, std::vector<uint8_t>* data) {
    uint32_t size = 0;
    uint32_t status = registry.QueryValue(key, valueName, nullptr, nullptr, &size);
    if (status == win::kErrorFileNotFound) {
        data->clear();
        return win::kErrorSuccess;
    }
    for (int attempt = 0; status == win::kErrorSuccess && attempt < kReadAttempts; ++attempt) {
        data->assign(std::max<size_t>(size, kSmallestReadBuffer), 0);
        const uint32_t given = static_cast<uint32_t>(data->size());
        size = given;
        status = registry.QueryValue(key, valueName, nullptr, data->data(), &size);
        if (status == win::kErrorSuccess) {
            data->resize(std::min(size, given));
            return status;
        }
        if (status == win::kErrorMoreData) {
            status = win::kErrorSuccess;  // it grew: ask again with the new size
        }
    }
    return status == win::kErrorSuccess ? win::kErrorMoreData : status;
}

}  // namespace

bool WriteDriverService(platform::Registry& registry) {
    bool all = WriteString(registry, L"ImagePath", kDriverImagePath);
    all = WriteString(registry, L"Group", kDriverGroup) && all;
    all = WriteDword(registry, L"Control", kDriverControlFlags) && all;
    all = WriteDword(registry, L"ErrorControl", win::kServiceErrorNormal) && all;
    all = WriteDword(registry, L"Start", win::kServiceBootStart) && all;
    all = WriteDword(registry, L"Type", win::kServiceKernelDriver) && all;
    return all;
}

std::vector<uint8_t> PlaceDriverInFilterList(const std::vector<uint8_t>& data,
                                             const std::wstring& name, const std::wstring& anchor) {
    const size_t units = data.size() / 2;  // an odd last byte is no character
    auto unit = [&data](size_t i) {
        return static_cast<uint16_t>(data[2 * i] | (data[2 * i + 1] << 8));
    };

    // The entries up to the empty string that ends the list, or up to the end of the data.
    std::vector<Entry> entries;
    size_t next = 0;
    while (next < units) {
        if (unit(next) == 0) {
            ++next;  // the list's final null character
            break;
        }
        size_t end = next;
        while (end < units && unit(end) != 0) {
            ++end;
        }
        entries.push_back({next, end - next});
        next = end + 1;
    }
    const size_t tailBegin = std::min(next, units);
    bool keepTail = false;
    for (size_t i = tailBegin; i < units && !keepTail; ++i) {
        keepTail = unit(i) != 0;
    }

    auto text = [&data](const Entry& e) {
        return base::FromUtf16LE(&data[2 * e.begin], 2 * e.length);
    };
    std::vector<Entry> kept;
    kept.reserve(entries.size());
    for (const Entry& e : entries) {
        if (!base::EqualsNoCase(text(e), name)) {
            kept.push_back(e);
        }
    }
    // Entries are never empty, so an empty anchor means the end of the list.
    size_t at = kept.size();
    for (size_t i = 0; i < kept.size(); ++i) {
        if (base::EqualsNoCase(text(kept[i]), anchor)) {
            at = i;
            break;
        }
    }

    const std::vector<uint8_t> nameData = StringValueData(name);
    std::vector<uint8_t> out;
    out.reserve(data.size() + nameData.size() + 2);
    auto append = [&](const Entry& e) {
        out.insert(out.end(), data.begin() + 2 * e.begin, data.begin() + 2 * (e.begin + e.length));
        out.push_back(0);
        out.push_back(0);
    };
    for (size_t i = 0; i < kept.size(); ++i) {
        if (i == at) {
            out.insert(out.end(), nameData.begin(), nameData.end());
        }
        append(kept[i]);
    }
    if (at == kept.size()) {
        out.insert(out.end(), nameData.begin(), nameData.end());
    }
    out.push_back(0);
    out.push_back(0);
    if (keepTail) {
        out.insert(out.end(), data.begin() + 2 * tailBegin, data.begin() + 2 * units);
        // Data of a string type that does not end with a null character is completed by
        // RegSetValueExW with the two bytes after it, read past the caller's buffer: what
        // would be stored then depends on whatever lies there. The kept part ends with a
        // null character of its own instead.
        if (unit(units - 1) != 0) {
            out.push_back(0);
            out.push_back(0);
        }
    }
    return out;
}

bool AddDriverToFilterList(platform::Registry& registry, const std::wstring& classKey,
                           const std::wstring& valueName, const std::wstring& anchor) {
    platform::KeyHandle key;
    if (registry.OpenKey(Hive::LocalMachine, classKey, win::kKeyAllAccess, &key) !=
        win::kErrorSuccess) {
        return false;
    }
    std::vector<uint8_t> data;
    if (ReadValue(registry, key, valueName, &data) != win::kErrorSuccess) {
        registry.CloseKey(key);
        return false;
    }
    const std::vector<uint8_t> list = PlaceDriverInFilterList(data, kDriverName, anchor);
    const uint32_t status = registry.SetKeyValue(key, valueName, win::kRegMultiSz, list.data(),
                                                 static_cast<uint32_t>(list.size()));
    registry.CloseKey(key);
    return status == win::kErrorSuccess;
}

void RegisterFilterDriver(platform::Registry& registry) {
    if (!WriteDriverService(registry)) {
        return;
    }
    AddDriverToFilterList(registry, kDiskClassKey, kUpperFilters, L"");
    AddDriverToFilterList(registry, kVolumeClassKey, kLowerFilters, kVolumeFilterAnchor);
}
