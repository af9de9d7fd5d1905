#include "sim/Machine.h"

namespace sim {

SimRegistry::SimRegistry(Machine& machine) : machine_(machine) {}

void SimRegistry::InstallDefaults() {}

uint32_t SimRegistry::GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                               uint32_t* type, void* data, uint32_t* size) {
    (void)hive;
    (void)subKey;
    (void)value;
    (void)type;
    (void)data;
    (void)size;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                               uint32_t type, const void* data, uint32_t size) {
    (void)hive;
    (void)subKey;
    (void)value;
    (void)type;
    (void)data;
    (void)size;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                              KeyHandle* key) {
    (void)hive;
    (void)subKey;
    (void)access;
    (void)key;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type,
                                 void* data, uint32_t* size) {
    (void)key;
    (void)value;
    (void)type;
    (void)data;
    (void)size;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type,
                                  const void* data, uint32_t size) {
    (void)key;
    (void)value;
    (void)type;
    (void)data;
    (void)size;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::CloseKey(KeyHandle key) {
    (void)key;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::DeleteValue(Hive hive, const std::wstring& subKey,
                                  const std::wstring& value) {
    (void)hive;
    (void)subKey;
    (void)value;
    return win::kErrorCallNotImplemented;
}

uint32_t SimRegistry::DeleteKeyTree(Hive hive, const std::wstring& subKey) {
    (void)hive;
    (void)subKey;
    return win::kErrorCallNotImplemented;
}

}  // namespace sim
