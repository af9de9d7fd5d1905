// The protection driver's registration: its service key, written directly in the registry,
// and its place in the filter lists of the disk drives (upper filter) and of the volumes
// (lower filter), so that it loads at the next boot.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "platform/Platform.h"

// The device setup classes whose filter lists name the driver, under HKEY_LOCAL_MACHINE.
constexpr const wchar_t kDiskClassKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{4D36E967-E325-11CE-BFC1-08002BE10318}";
constexpr const wchar_t kVolumeClassKey[] =
    L"SYSTEM\\CurrentControlSet\\Control\\Class\\{71A27CDD-812A-11D0-BEC7-08002BE2092F}";
constexpr const wchar_t kUpperFilters[] = L"UpperFilters";
constexpr const wchar_t kLowerFilters[] = L"LowerFilters";
// The volume filter the driver goes in front of.
constexpr const wchar_t kVolumeFilterAnchor[] = L"iorate";

// The values of the service key, in the order they are written.
constexpr const wchar_t kDriverImagePath[] = L"SYSTEM32\\drivers\\cvflt.sys";
constexpr const wchar_t kDriverGroup[] = L"System Bus Extender";
constexpr uint32_t kDriverControlFlags = 0x10000041;

// Writes the six values of the driver's service key with SHSetValueW (which creates the
// key): "ImagePath", "Group", "Control", "ErrorControl", "Start" and "Type". Every value is
// written once, whatever became of the ones before it. True when all six were written.
bool WriteDriverService(platform::Registry& registry);

// Places the driver's name into the REG_MULTI_SZ value |valueName| of |classKey| (under
// HKEY_LOCAL_MACHINE, opened with KEY_ALL_ACCESS; a key that cannot be opened is not
// created): every entry equal to the name, ignoring case, is removed, and the name goes in
// before the first entry equal to |anchor|, or at the end. A missing value is created with
// the name alone. The list is written back as REG_MULTI_SZ whatever its type was; see
// PlaceDriverInFilterList for data that is not a well-formed list. True when the list was
// written.
bool AddDriverToFilterList(platform::Registry& registry, const std::wstring& classKey,
                           const std::wstring& valueName, const std::wstring& anchor);

// The list work of AddDriverToFilterList on the value's data as stored (UTF-16LE bytes),
// returning the data to write.
//
// The entries are read the way the system reads a REG_MULTI_SZ list: strings that end at a
// null character, up to the first empty string. Whatever the data hold, nothing is read
// past them and no entry the system reads is lost, doubled or moved:
// - the type is not looked at: a REG_SZ or REG_EXPAND_SZ value is its text, a REG_BINARY
//   value its bytes read as such a list;
// - a last entry without its null character ends at the end of the data;
// - an odd last byte belongs to no character and is dropped;
// - whatever follows the empty string that ends the list (an "empty entry in the middle"),
//   the system does not read: it is kept as it is, after the new list's end, unless it is
//   nothing but null characters; when its last character is not null, one is added, so
//   that the data written always end with a null character (RegSetValueExW would
//   otherwise complete them from the bytes after the buffer).
// Running it on its own result gives that result again.
std::vector<uint8_t> PlaceDriverInFilterList(const std::vector<uint8_t>& data,
                                             const std::wstring& name, const std::wstring& anchor);

// Step 13 of the installation: the service key, then the driver as the last upper filter
// of the disk drives and as the lower filter of the volumes in front of "iorate". The
// filter lists are only touched when every service value was written: a filter list that
// names a service without its key leaves the computer unable to start its disks.
void RegisterFilterDriver(platform::Registry& registry);
