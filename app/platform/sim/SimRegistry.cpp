#include <algorithm>
#include <cstring>

#include "base/Text.h"
#include "sim/Machine.h"

namespace sim {

namespace {

// RegQueryValueExW on a key deleted while a handle to it is open.
constexpr uint32_t kErrorKeyDeleted = 1018;
// RegSetValueExW with a null data pointer and a non-zero size.
constexpr uint32_t kErrorNoAccess = 998;

using Guard = std::lock_guard<std::recursive_mutex>;

std::vector<uint8_t> StringBytes(const std::wstring& text) {
    std::vector<uint8_t> bytes = base::ToUtf16LE(text);
    bytes.push_back(0);
    bytes.push_back(0);
    return bytes;
}

const wchar_t* HiveName(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return L"HKEY_CLASSES_ROOT";
        case Hive::CurrentUser:
            return L"HKEY_CURRENT_USER";
        case Hive::LocalMachine:
            return L"HKEY_LOCAL_MACHINE";
        case Hive::Users:
            return L"HKEY_USERS";
    }
    return L"?";
}

std::wstring HexList(const std::vector<uint8_t>& bytes) {
    std::wstring out;
    for (size_t i = 0; i < bytes.size(); ++i) {
        if (i)
            out += L',';
        out += base::Format(L"%02x", bytes[i]);
    }
    return out;
}

std::wstring Quoted(const std::wstring& text) {
    std::wstring out = L"\"";
    for (wchar_t c : text) {
        if (c == L'\\' || c == L'"')
            out += L'\\';
        out += c;
    }
    return out + L"\"";
}

}  // namespace

SimRegistry::SimRegistry(Machine& machine) : machine_(machine) {
    for (auto& root : roots_)
        root = std::make_unique<Key>();
    variables_ = {
        {L"SystemRoot", L"C:\\Windows"},
        {L"windir", L"C:\\Windows"},
        {L"SystemDrive", L"C:"},
        {L"ProgramFiles", L"C:\\Program Files"},
        {L"ProgramData", L"C:\\ProgramData"},
        {L"ALLUSERSPROFILE", L"C:\\ProgramData"},
        {L"USERPROFILE", L"C:\\Users\\User"},
        {L"APPDATA", L"C:\\Users\\User\\AppData\\Roaming"},
        {L"TEMP", L"C:\\Users\\User\\AppData\\Local\\Temp"},
        {L"TMP", L"C:\\Users\\User\\AppData\\Local\\Temp"},
    };
}

SimRegistry::~SimRegistry() = default;

void SimRegistry::InstallDefaults() {
    Guard guard(machine_.Lock());
    const std::wstring cv = L"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion";
    SetString(Hive::LocalMachine, cv, L"RegisteredOwner", L"User");
    SetString(Hive::LocalMachine, cv, L"RegisteredOrganization", L"");
    SetString(Hive::LocalMachine, cv, L"CurrentVersion", L"6.1");
    CreateKey(Hive::LocalMachine, L"SYSTEM\\CurrentControlSet\\Control\\Session Manager");
    SetMultiString(Hive::LocalMachine,
                   L"SYSTEM\\CurrentControlSet\\Control\\Class\\"
                   L"{4D36E967-E325-11CE-BFC1-08002BE10318}",
                   L"UpperFilters", {L"PartMgr"});
    SetMultiString(Hive::LocalMachine,
                   L"SYSTEM\\CurrentControlSet\\Control\\Class\\"
                   L"{71A27CDD-812A-11D0-BEC7-08002BE2092F}",
                   L"UpperFilters", {L"volsnap"});
    CreateKey(Hive::LocalMachine, L"SOFTWARE\\Microsoft\\Windows\\CurrentVersion\\Run");
    CreateKey(Hive::LocalMachine, L"SYSTEM\\CurrentControlSet\\Services");
    CreateKey(Hive::CurrentUser, L"Software");
}

// --- Paths and lookup ---

bool SimRegistry::SplitPath(const std::wstring& subKey, std::vector<std::wstring>* parts) {
    parts->clear();
    if (subKey.empty())
        return true;
    if (subKey[0] == L'\\')
        return false;
    size_t start = 0;
    while (start < subKey.size()) {
        size_t end = subKey.find(L'\\', start);
        if (end == std::wstring::npos)
            end = subKey.size();
        if (end == start)
            return false;  // "a\\b": empty component
        parts->push_back(subKey.substr(start, end - start));
        start = end + 1;
    }
    return true;
}

SimRegistry::Key* SimRegistry::Root(Hive hive) {
    size_t index = static_cast<size_t>(hive);
    return index < 4 ? roots_[index].get() : nullptr;
}

SimRegistry::Key* SimRegistry::Child(Key& key, const std::wstring& name) {
    for (auto& child : key.subKeys) {
        if (base::EqualsNoCase(child->name, name))
            return child.get();
    }
    return nullptr;
}

SimRegistry::Key* SimRegistry::Find(Hive hive, const std::vector<std::wstring>& path) {
    Key* key = Root(hive);
    for (const auto& part : path) {
        if (!key)
            return nullptr;
        key = Child(*key, part);
    }
    return key;
}

SimRegistry::Key* SimRegistry::FindOrCreate(Hive hive, const std::vector<std::wstring>& path) {
    Key* key = Root(hive);
    for (const auto& part : path) {
        if (!key)
            return nullptr;
        Key* next = Child(*key, part);
        if (!next) {
            key->subKeys.push_back(std::make_unique<Key>());
            next = key->subKeys.back().get();
            next->name = part;
        }
        key = next;
    }
    return key;
}

SimRegistry::Value* SimRegistry::FindValue(Key* key, const std::wstring& name) {
    if (!key)
        return nullptr;
    for (auto& v : key->values) {
        if (base::EqualsNoCase(v.name, name))
            return &v;
    }
    return nullptr;
}

bool SimRegistry::Matches(const std::vector<Rule>& rules, Hive hive,
                          const std::vector<std::wstring>& path) const {
    for (const auto& rule : rules) {
        if (rule.hive != hive || rule.path.size() > path.size())
            continue;
        bool same = true;
        for (size_t i = 0; i < rule.path.size() && same; ++i) {
            same = base::EqualsNoCase(rule.path[i], path[i]);
        }
        if (same)
            return true;
    }
    return false;
}

// --- Reading ---

uint32_t SimRegistry::QueryStored(const Value& v, uint32_t* type, void* data, uint32_t* size) {
    if (data && !size)
        return win::kErrorInvalidParameter;
    const uint32_t length = static_cast<uint32_t>(v.bytes.size());
    if (type)
        *type = v.type;
    if (!data) {
        if (size)
            *size = length;
        return win::kErrorSuccess;
    }
    if (*size < length) {
        *size = length;
        return win::kErrorMoreData;
    }
    if (length)
        std::memcpy(data, v.bytes.data(), length);
    // String data stored without a terminator gets one written after it when the buffer
    // has room for it, as Windows NT's RegQueryValueExW does; the size reported does not
    // count it. Data that fills the buffer to its last byte stays unterminated.
    const bool text =
        v.type == win::kRegSz || v.type == win::kRegExpandSz || v.type == win::kRegMultiSz;
    if (text && length >= 2 && length <= *size - 2) {
        uint8_t* bytes = static_cast<uint8_t*>(data);
        if (bytes[length - 2] != 0 || bytes[length - 1] != 0) {
            bytes[length] = 0;
            bytes[length + 1] = 0;
        }
    }
    *size = length;
    return win::kErrorSuccess;
}

// SHGetValueW / SHQueryValueExW as shlwapi documents them and Wine implements them:
// REG_EXPAND_SZ data are expanded and reported as REG_SZ. Without a buffer, or with one
// too small for the stored data, the size reported is the larger of the stored size and
// the expanded size (both in bytes, terminator included) and nothing is copied. With a
// buffer that holds the stored data, the expanded text replaces it when it fits
// (kErrorMoreData otherwise, the stored text left in the buffer); the size reported is
// again the larger of the two. Other types behave as RegQueryValueExW: the stored bytes
// as they are, missing or extra terminators included (a missing one written after them
// when the buffer has room).
uint32_t SimRegistry::ShellQuery(const Value& v, uint32_t* type, void* data, uint32_t* size) {
    uint32_t storedType = 0;
    uint32_t given = size ? *size : 0;
    uint32_t status = QueryStored(v, &storedType, data, size);
    if (storedType == win::kRegExpandSz && size &&
        (status == win::kErrorSuccess || status == win::kErrorMoreData)) {
        std::wstring raw = base::FromUtf16LEUntilNull(v.bytes.data(), v.bytes.size());
        std::wstring expanded = Expand(raw);
        uint32_t expandedBytes = static_cast<uint32_t>((expanded.size() + 1) * 2);
        if (!data || status == win::kErrorMoreData) {
            *size = std::max(static_cast<uint32_t>(v.bytes.size()), expandedBytes);
        } else {
            uint32_t rawBytes = static_cast<uint32_t>((raw.size() + 1) * 2);
            if (expandedBytes > given) {
                status = win::kErrorMoreData;
            } else {
                std::vector<uint8_t> out = StringBytes(expanded);
                std::memcpy(data, out.data(), out.size());
            }
            *size = std::max(rawBytes, expandedBytes);
        }
        storedType = win::kRegSz;
    }
    if (type && (status == win::kErrorSuccess || status == win::kErrorMoreData)) {
        *type = storedType;
    }
    return status;
}

uint32_t SimRegistry::GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                               uint32_t* type, void* data, uint32_t* size) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(subKey, &path))
        return win::kErrorBadPathname;
    Key* key = Find(hive, path);
    if (!key)
        return win::kErrorFileNotFound;
    if (Matches(denyOpen_, hive, path))
        return win::kErrorAccessDenied;
    if (uint32_t error = ValueFailure(hive, path, value, true))
        return error;
    Value* v = FindValue(key, value);
    if (!v)
        return win::kErrorFileNotFound;
    return ShellQuery(*v, type, data, size);
}

uint32_t SimRegistry::OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                              KeyHandle* key) {
    Guard guard(machine_.Lock());
    if (!key)
        return win::kErrorInvalidParameter;
    std::vector<std::wstring> path;
    if (!SplitPath(subKey, &path))
        return win::kErrorBadPathname;
    if (!Find(hive, path))
        return win::kErrorFileNotFound;
    if (Matches(denyOpen_, hive, path))
        return win::kErrorAccessDenied;
    if ((access & win::kKeySetValue) && Matches(denyWrite_, hive, path)) {
        return win::kErrorAccessDenied;
    }
    std::uintptr_t handle = machine_.NewHandleValue();
    handles_[handle] = OpenRecord{hive, path, subKey, access};
    *key = KeyHandle(handle);
    return win::kErrorSuccess;
}

uint32_t SimRegistry::QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type,
                                 void* data, uint32_t* size) {
    Guard guard(machine_.Lock());
    if (uint32_t error = RunQueryHook(value))
        return error;
    auto it = handles_.find(key.value);
    if (it == handles_.end())
        return win::kErrorInvalidHandle;
    if (!(it->second.access & win::kKeyQueryValue))
        return win::kErrorAccessDenied;
    Key* k = Find(it->second.hive, it->second.path);
    if (!k)
        return kErrorKeyDeleted;
    Value* v = FindValue(k, value);
    if (!v)
        return win::kErrorFileNotFound;
    return QueryStored(*v, type, data, size);
}

// --- Writing ---

uint32_t SimRegistry::WriteValue(Hive hive, const std::vector<std::wstring>& path,
                                 const std::wstring& spelled, const std::wstring& name,
                                 uint32_t type, const void* data, uint32_t size) {
    if (!data && size)
        return kErrorNoAccess;
    if (Matches(denyWrite_, hive, path))
        return win::kErrorAccessDenied;
    if (uint32_t error = ValueFailure(hive, path, name, false))
        return error;
    Key* key = FindOrCreate(hive, path);
    if (!key)
        return win::kErrorInvalidHandle;
    const uint8_t* bytes = static_cast<const uint8_t*>(data);
    // Windows NT completes a string whose count leaves out its terminator: when the last
    // counted character is not null and the caller's next character is, the terminator
    // is stored too. Like Windows, this reads the two bytes after the counted data.
    if (bytes && size >= 2 && size % 2 == 0 &&
        (type == win::kRegSz || type == win::kRegExpandSz || type == win::kRegMultiSz) &&
        (bytes[size - 2] != 0 || bytes[size - 1] != 0) && bytes[size] == 0 &&
        bytes[size + 1] == 0) {
        size += 2;
    }
    std::vector<uint8_t> stored(bytes, bytes + (data ? size : 0));
    Value* v = FindValue(key, name);
    if (v) {
        v->type = type;
        v->bytes = std::move(stored);
    } else {
        key->values.push_back(Value{name, type, std::move(stored)});
    }
    writes_.push_back(RegWrite{hive, spelled, name, type});
    return win::kErrorSuccess;
}

uint32_t SimRegistry::SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                               uint32_t type, const void* data, uint32_t size) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(subKey, &path))
        return win::kErrorBadPathname;
    if (Matches(denyOpen_, hive, path))
        return win::kErrorAccessDenied;
    return WriteValue(hive, path, subKey, value, type, data, size);
}

uint32_t SimRegistry::SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type,
                                  const void* data, uint32_t size) {
    Guard guard(machine_.Lock());
    auto it = handles_.find(key.value);
    if (it == handles_.end())
        return win::kErrorInvalidHandle;
    if (!(it->second.access & win::kKeySetValue))
        return win::kErrorAccessDenied;
    if (!Find(it->second.hive, it->second.path))
        return kErrorKeyDeleted;
    OpenRecord record = it->second;
    return WriteValue(record.hive, record.path, record.spelled, value, type, data, size);
}

uint32_t SimRegistry::CloseKey(KeyHandle key) {
    Guard guard(machine_.Lock());
    if (!handles_.erase(key.value))
        return win::kErrorInvalidHandle;
    return win::kErrorSuccess;
}

uint32_t SimRegistry::DeleteValue(Hive hive, const std::wstring& subKey,
                                  const std::wstring& value) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(subKey, &path))
        return win::kErrorBadPathname;
    Key* key = Find(hive, path);
    if (!key)
        return win::kErrorFileNotFound;
    if (Matches(denyOpen_, hive, path) || Matches(denyWrite_, hive, path)) {
        return win::kErrorAccessDenied;
    }
    for (auto it = key->values.begin(); it != key->values.end(); ++it) {
        if (base::EqualsNoCase(it->name, value)) {
            key->values.erase(it);
            return win::kErrorSuccess;
        }
    }
    return win::kErrorFileNotFound;
}

uint32_t SimRegistry::DeleteKeyTree(Hive hive, const std::wstring& subKey) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(subKey, &path))
        return win::kErrorBadPathname;
    if (!Find(hive, path))
        return win::kErrorFileNotFound;
    // A predefined root cannot be deleted.
    if (path.empty())
        return win::kErrorAccessDenied;
    if (Matches(denyOpen_, hive, path) || Matches(denyWrite_, hive, path)) {
        return win::kErrorAccessDenied;
    }
    std::vector<std::wstring> parentPath(path.begin(), path.end() - 1);
    Key* parent = Find(hive, parentPath);
    auto& kids = parent->subKeys;
    for (auto it = kids.begin(); it != kids.end(); ++it) {
        if (base::EqualsNoCase((*it)->name, path.back())) {
            kids.erase(it);
            break;
        }
    }
    return win::kErrorSuccess;
}

// --- Test API ---

void SimRegistry::Put(Hive hive, const std::wstring& key, const std::wstring& name, uint32_t type,
                      std::vector<uint8_t> bytes) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(key, &path))
        return;
    Key* k = FindOrCreate(hive, path);
    Value* v = FindValue(k, name);
    if (v) {
        v->type = type;
        v->bytes = std::move(bytes);
    } else {
        k->values.push_back(Value{name, type, std::move(bytes)});
    }
}

void SimRegistry::SetString(Hive hive, const std::wstring& key, const std::wstring& name,
                            const std::wstring& text) {
    Put(hive, key, name, win::kRegSz, StringBytes(text));
}

void SimRegistry::SetExpandString(Hive hive, const std::wstring& key, const std::wstring& name,
                                  const std::wstring& text) {
    Put(hive, key, name, win::kRegExpandSz, StringBytes(text));
}

void SimRegistry::SetMultiString(Hive hive, const std::wstring& key, const std::wstring& name,
                                 const std::vector<std::wstring>& items) {
    std::vector<uint8_t> bytes;
    for (const auto& item : items) {
        std::vector<uint8_t> one = StringBytes(item);
        bytes.insert(bytes.end(), one.begin(), one.end());
    }
    bytes.push_back(0);
    bytes.push_back(0);
    Put(hive, key, name, win::kRegMultiSz, std::move(bytes));
}

void SimRegistry::SetDword(Hive hive, const std::wstring& key, const std::wstring& name,
                           uint32_t number) {
    std::vector<uint8_t> bytes = {static_cast<uint8_t>(number), static_cast<uint8_t>(number >> 8),
                                  static_cast<uint8_t>(number >> 16),
                                  static_cast<uint8_t>(number >> 24)};
    Put(hive, key, name, win::kRegDword, std::move(bytes));
}

void SimRegistry::SetRaw(Hive hive, const std::wstring& key, const std::wstring& name,
                         uint32_t type, const std::vector<uint8_t>& bytes) {
    Put(hive, key, name, type, bytes);
}

void SimRegistry::CreateKey(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (SplitPath(key, &path))
        FindOrCreate(hive, path);
}

std::optional<RegRawValue> SimRegistry::GetRaw(Hive hive, const std::wstring& key,
                                               const std::wstring& name) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(key, &path))
        return std::nullopt;
    Value* v = FindValue(Find(hive, path), name);
    if (!v)
        return std::nullopt;
    return RegRawValue{v->type, v->bytes};
}

std::optional<std::wstring> SimRegistry::GetString(Hive hive, const std::wstring& key,
                                                   const std::wstring& name) {
    auto raw = GetRaw(hive, key, name);
    if (!raw)
        return std::nullopt;
    return base::FromUtf16LEUntilNull(raw->bytes.data(), raw->bytes.size());
}

std::optional<std::vector<std::wstring>> SimRegistry::GetMultiString(Hive hive,
                                                                     const std::wstring& key,
                                                                     const std::wstring& name) {
    auto raw = GetRaw(hive, key, name);
    if (!raw)
        return std::nullopt;
    std::wstring all = base::FromUtf16LE(raw->bytes.data(), raw->bytes.size());
    std::vector<std::wstring> items;
    size_t start = 0;
    while (start < all.size()) {
        size_t end = all.find(L'\0', start);
        if (end == std::wstring::npos)
            end = all.size();
        if (end == start)
            break;  // the empty item ending the list
        items.push_back(all.substr(start, end - start));
        start = end + 1;
    }
    return items;
}

std::optional<uint32_t> SimRegistry::GetDword(Hive hive, const std::wstring& key,
                                              const std::wstring& name) {
    auto raw = GetRaw(hive, key, name);
    if (!raw || raw->bytes.size() != 4)
        return std::nullopt;
    const auto& b = raw->bytes;
    return static_cast<uint32_t>(b[0]) | (static_cast<uint32_t>(b[1]) << 8) |
           (static_cast<uint32_t>(b[2]) << 16) | (static_cast<uint32_t>(b[3]) << 24);
}

bool SimRegistry::KeyExists(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    return SplitPath(key, &path) && Find(hive, path) != nullptr;
}

bool SimRegistry::ValueExists(Hive hive, const std::wstring& key, const std::wstring& name) {
    return GetRaw(hive, key, name).has_value();
}

std::vector<std::wstring> SimRegistry::ValueNames(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> names;
    std::vector<std::wstring> path;
    if (!SplitPath(key, &path))
        return names;
    if (Key* k = Find(hive, path)) {
        for (const auto& v : k->values)
            names.push_back(v.name);
    }
    return names;
}

std::vector<std::wstring> SimRegistry::SubKeyNames(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> names;
    std::vector<std::wstring> path;
    if (!SplitPath(key, &path))
        return names;
    if (Key* k = Find(hive, path)) {
        for (const auto& child : k->subKeys)
            names.push_back(child->name);
    }
    return names;
}

void SimRegistry::FailValue(Hive hive, const std::wstring& key, const std::wstring& name,
                            bool reads, uint32_t error) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (!SplitPath(key, &path))
        return;
    for (auto it = valueFailures_.begin(); it != valueFailures_.end();) {
        const bool same = it->hive == hive && it->reads == reads &&
                          base::EqualsNoCase(it->name, name) && it->path.size() == path.size() &&
                          Matches({Rule{it->hive, it->path}}, hive, path);
        it = same ? valueFailures_.erase(it) : it + 1;
    }
    if (error != 0)
        valueFailures_.push_back(ValueRule{hive, path, name, reads, error});
}

uint32_t SimRegistry::ValueFailure(Hive hive, const std::vector<std::wstring>& path,
                                   const std::wstring& name, bool reads) const {
    for (const ValueRule& rule : valueFailures_) {
        if (rule.reads == reads && rule.path.size() == path.size() &&
            base::EqualsNoCase(rule.name, name) &&
            Matches({Rule{rule.hive, rule.path}}, hive, path))
            return rule.error;
    }
    return 0;
}

void SimRegistry::DenyWrite(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (SplitPath(key, &path))
        denyWrite_.push_back(Rule{hive, path});
}

void SimRegistry::DenyOpen(Hive hive, const std::wstring& key) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> path;
    if (SplitPath(key, &path))
        denyOpen_.push_back(Rule{hive, path});
}

void SimRegistry::ClearDenials() {
    Guard guard(machine_.Lock());
    denyWrite_.clear();
    denyOpen_.clear();
}

int SimRegistry::WriteCount(Hive hive, const std::wstring& key, const std::wstring& value) {
    Guard guard(machine_.Lock());
    std::vector<std::wstring> want;
    if (!SplitPath(key, &want))
        return 0;
    int count = 0;
    for (const auto& w : writes_) {
        std::vector<std::wstring> got;
        if (w.hive != hive || !base::EqualsNoCase(w.value, value) || !SplitPath(w.key, &got) ||
            got.size() != want.size()) {
            continue;
        }
        bool same = true;
        for (size_t i = 0; i < got.size() && same; ++i)
            same = base::EqualsNoCase(got[i], want[i]);
        if (same)
            ++count;
    }
    return count;
}

void SimRegistry::DumpKey(const Key& key, const std::wstring& path, std::wstring* out) {
    for (const auto& v : key.values) {
        std::wstring line = v.name.empty() ? L"@=" : Quoted(v.name) + L"=";
        // A plain string is shown as text when it holds exactly one terminating null.
        bool plainText = v.type == win::kRegSz && v.bytes.size() >= 2 && v.bytes.size() % 2 == 0;
        std::wstring text;
        if (plainText) {
            text = base::FromUtf16LE(v.bytes.data(), v.bytes.size() - 2);
            plainText = v.bytes[v.bytes.size() - 1] == 0 && v.bytes[v.bytes.size() - 2] == 0 &&
                        text.find(L'\0') == std::wstring::npos;
        }
        if (plainText) {
            line += Quoted(text);
        } else if (v.type == win::kRegDword && v.bytes.size() == 4) {
            uint32_t n = static_cast<uint32_t>(v.bytes[0]) | (v.bytes[1] << 8) |
                         (v.bytes[2] << 16) | (static_cast<uint32_t>(v.bytes[3]) << 24);
            line += base::Format(L"dword:%08x", n);
        } else if (v.type == win::kRegBinary) {
            line += L"hex:" + HexList(v.bytes);
        } else {
            line += base::Format(L"hex(%x):", v.type) + HexList(v.bytes);
        }
        *out += line + L"\r\n";
    }
    for (const auto& child : key.subKeys) {
        std::wstring childPath = path + L"\\" + child->name;
        *out += L"\r\n[" + childPath + L"]\r\n";
        DumpKey(*child, childPath, out);
    }
}

std::wstring SimRegistry::Dump() {
    Guard guard(machine_.Lock());
    std::wstring out = L"Windows Registry Editor Version 5.00\r\n";
    for (Hive hive : {Hive::ClassesRoot, Hive::CurrentUser, Hive::LocalMachine, Hive::Users}) {
        const Key& root = *Root(hive);
        if (root.values.empty() && root.subKeys.empty())
            continue;
        if (!root.values.empty())
            out += L"\r\n[" + std::wstring(HiveName(hive)) + L"]\r\n";
        DumpKey(root, HiveName(hive), &out);
    }
    return out;
}

void SimRegistry::SetExpansionVariable(const std::wstring& name, const std::wstring& value) {
    Guard guard(machine_.Lock());
    for (auto& var : variables_) {
        if (base::EqualsNoCase(var.first, name)) {
            var.second = value;
            return;
        }
    }
    variables_.emplace_back(name, value);
}

std::wstring SimRegistry::Expand(const std::wstring& text) {
    Guard guard(machine_.Lock());
    std::wstring out;
    size_t i = 0;
    while (i < text.size()) {
        if (text[i] != L'%') {
            out += text[i++];
            continue;
        }
        size_t close = text.find(L'%', i + 1);
        if (close == std::wstring::npos) {
            out += text.substr(i);
            break;
        }
        std::wstring name = text.substr(i + 1, close - i - 1);
        const std::wstring* found = nullptr;
        for (const auto& var : variables_) {
            if (!name.empty() && base::EqualsNoCase(var.first, name))
                found = &var.second;
        }
        if (found) {
            out += *found;
            i = close + 1;
        } else {
            // Unknown: kept as written; the closing '%' may open the next name.
            out += text.substr(i, close - i);
            i = close;
        }
    }
    return out;
}

}  // namespace sim
