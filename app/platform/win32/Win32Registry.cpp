// Registry adapter: the shell's value functions (shlwapi) and the classic key functions.
// Buffers and sizes are the caller's, passed through unchanged; the status is returned as
// the API gave it.
#include "win32/Win32Util.h"

#include "win32/Adapters.h"

namespace win32 {

namespace {

HKEY RootOf(Hive hive) {
    switch (hive) {
        case Hive::ClassesRoot:
            return HKEY_CLASSES_ROOT;
        case Hive::CurrentUser:
            return HKEY_CURRENT_USER;
        case Hive::LocalMachine:
            return HKEY_LOCAL_MACHINE;
        case Hive::Users:
            return HKEY_USERS;
    }
    return nullptr;  // not a hive: the API reports ERROR_INVALID_HANDLE
}

// The port's uint32_t in/out values and the API's DWORDs are distinct types (unsigned int
// and unsigned long), so optional in/out arguments go through a local copy.
class DwordInOut {
public:
    explicit DwordInOut(uint32_t* port) : port_(port), value_(port != nullptr ? *port : 0) {}
    ~DwordInOut() {
        if (port_ != nullptr) {
            *port_ = static_cast<uint32_t>(value_);
        }
    }
    DwordInOut(const DwordInOut&) = delete;
    DwordInOut& operator=(const DwordInOut&) = delete;
    DWORD* get() { return port_ != nullptr ? &value_ : nullptr; }

private:
    uint32_t* port_;
    DWORD value_;
};

}  // namespace

uint32_t Win32Registry::GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                                 uint32_t* type, void* data, uint32_t* size) {
    // SHGetValueW keeps the thread's last-error value as it was: the port promises that.
    DwordInOut typeArg(type);
    DwordInOut sizeArg(size);
    const LSTATUS status = ::SHGetValueW(RootOf(hive), subKey.c_str(), value.c_str(), typeArg.get(),
                                         data, sizeArg.get());
    return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                                 uint32_t type, const void* data, uint32_t size) {
    const LSTATUS status =
        ::SHSetValueW(RootOf(hive), subKey.c_str(), value.c_str(), type, data, size);
    return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                                KeyHandle* key) {
    HKEY opened = nullptr;
    const LSTATUS status = ::RegOpenKeyExW(RootOf(hive), subKey.c_str(), 0, access, &opened);
    if (key != nullptr) {
        *key = status == ERROR_SUCCESS ? FromWin32<KeyHandle>(opened) : KeyHandle();
    } else if (status == ERROR_SUCCESS) {
        ::RegCloseKey(opened);  // nobody could ever close it
    }
    return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type,
                                   void* data, uint32_t* size) {
    DwordInOut typeArg(type);
    DwordInOut sizeArg(size);
    const LSTATUS status =
        ::RegQueryValueExW(ToWin32<HKEY>(key), value.c_str(), nullptr, typeArg.get(),
                           static_cast<BYTE*>(data), sizeArg.get());
    return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type,
                                    const void* data, uint32_t size) {
    const LSTATUS status = ::RegSetValueExW(ToWin32<HKEY>(key), value.c_str(), 0, type,
                                            static_cast<const BYTE*>(data), size);
    return static_cast<uint32_t>(status);
}

uint32_t Win32Registry::CloseKey(KeyHandle key) {
    return static_cast<uint32_t>(::RegCloseKey(ToWin32<HKEY>(key)));
}

uint32_t Win32Registry::DeleteValue(Hive hive, const std::wstring& subKey,
                                    const std::wstring& value) {
    return static_cast<uint32_t>(::SHDeleteValueW(RootOf(hive), subKey.c_str(), value.c_str()));
}

uint32_t Win32Registry::DeleteKeyTree(Hive hive, const std::wstring& subKey) {
    return static_cast<uint32_t>(::SHDeleteKeyW(RootOf(hive), subKey.c_str()));
}

}  // namespace win32
