// Simulated registry of sim::Machine.
#pragma once

#include "sim/Common.h"

namespace sim {

class Machine;

class SimRegistry : public platform::Registry {
public:
    explicit SimRegistry(Machine& machine);
    // Puts the default machine's state in place (called once by Machine's constructor).
    void InstallDefaults();

    uint32_t GetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t* type, void* data, uint32_t* size) override;
    uint32_t SetValue(Hive hive, const std::wstring& subKey, const std::wstring& value,
                      uint32_t type, const void* data, uint32_t size) override;
    uint32_t OpenKey(Hive hive, const std::wstring& subKey, uint32_t access,
                     KeyHandle* key) override;
    uint32_t QueryValue(KeyHandle key, const std::wstring& value, uint32_t* type, void* data,
                        uint32_t* size) override;
    uint32_t SetKeyValue(KeyHandle key, const std::wstring& value, uint32_t type, const void* data,
                         uint32_t size) override;
    uint32_t CloseKey(KeyHandle key) override;
    uint32_t DeleteValue(Hive hive, const std::wstring& subKey, const std::wstring& value) override;
    uint32_t DeleteKeyTree(Hive hive, const std::wstring& subKey) override;

private:
    Machine& machine_;
};

}  // namespace sim
