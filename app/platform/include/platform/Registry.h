// Registry port: the shell's light-weight value functions and the classic key functions,
// with Win32's status codes. Data are raw bytes of the stated type, so malformed data
// (strings without terminators, lists without their final null) can exist and be read.
#pragma once

#include <cstdint>
#include <string>

#include "platform/Types.h"

namespace platform {

class Registry {
public:
    virtual ~Registry() = default;

    // SHGetValueW: reads |value| of |subKey| under |hive|. |type| receives the stored type
    // (may be null). With |data| null only the size is reported. |size| is in/out in
    // bytes (may be null only when |data| is null). Returns kErrorSuccess,
    // kErrorFileNotFound (missing key or value) or kErrorMoreData (buffer too small; *size
    // then holds the needed size). Does not change the thread's last-error value.
    virtual uint32_t GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                              uint32_t* type, void* data, uint32_t* size) = 0;

    // SHSetValueW: writes |value| of |subKey| under |hive|, creating missing keys on the way.
    virtual uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                              uint32_t type, const void* data, uint32_t size) = 0;

    // RegOpenKeyExW: opens an existing key with |access| (kKeyAllAccess, kKeyRead...).
    virtual uint32_t OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                             KeyHandle* key) = 0;

    // RegQueryValueExW on an open key; same buffer rules as GetValue.
    virtual uint32_t QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type,
                                void* data, uint32_t* size) = 0;

    // RegSetValueExW on an open key.
    virtual uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type,
                                 const void* data, uint32_t size) = 0;

    // RegCloseKey.
    virtual uint32_t CloseKey(KeyHandle key) = 0;

    // SHDeleteValueW and SHDeleteKeyW (the whole tree); used by tests to clean up.
    virtual uint32_t DeleteValue(Hive hive, const std::wstring& subKey,
                                 const std::wstring& value) = 0;
    virtual uint32_t DeleteKeyTree(Hive hive, const std::wstring& subKey) = 0;
};

}  // namespace platform
